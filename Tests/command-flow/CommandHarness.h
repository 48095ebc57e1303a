#pragma once

// The application state with every service it works through, for the Command flow's
// scenarios: the stores on a private data folder, the recorder on a fake microphone,
// the real speech-engine runner on the fake engine, the real runtime service on the
// scripted fake runtime, the capture service on a fake desktop, and fakes for the
// keyring, the timers, the overlay and the panels.

#include "AppState.h"
#include "AppPaths.h"
#include "FakeAudioInput.h"
#include "MemorySettingsStore.h"
#include "Platform/PermissionProbe.h"
#include "Platform/SoundPlayer.h"
#include "Platform/SystemLinks.h"
#include "Platform/Timers.h"
#include "Platform/WindowActivation.h"
#include "Services/AgentNotificationService.h"
#include "Services/AgentRuntimeService.h"
#include "Services/HotKeyManager.h"
#include "Services/WhisperRunner.h"
#include "TestPaths.h"

#include "../capture/CaptureFakes.h"
#include "../hotkeys/FakeHotKeyBackend.h"
#include "../command-services/FakeSecretStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>

namespace sorvane::testing {

// Timers whose clock moves only when the test says so.
class FakeTimers final : public Timers {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }
    std::unique_ptr<TimerHandle> start(std::chrono::milliseconds delay, std::function<void()> action) override
    {
        auto entry = std::make_shared<Entry>(Entry{m_now + delay, std::move(action), m_next++});
        m_entries.push_back(entry);
        return std::make_unique<Handle>(entry);
    }

    // Moves the clock on, running every action that falls due on the way, in order.
    void advance(std::chrono::milliseconds by)
    {
        const auto until = m_now + by;
        for (;;) {
            std::erase_if(m_entries, [](const std::shared_ptr<Entry> &e) { return !e->action; });
            auto next = std::min_element(m_entries.begin(), m_entries.end(), [](const auto &a, const auto &b) {
                return a->due != b->due ? a->due < b->due : a->order < b->order;
            });
            if (next == m_entries.end() || (*next)->due > until)
                break;
            const std::shared_ptr<Entry> entry = *next;
            m_now = std::max(m_now, entry->due);
            auto action = std::exchange(entry->action, nullptr);
            action();
        }
        m_now = until;
    }

    // Actions waiting with exactly this delay left.
    bool hasPending(std::chrono::milliseconds left) const
    {
        return std::any_of(m_entries.begin(), m_entries.end(),
                           [&](const auto &e) { return e->action && e->due - m_now == left; });
    }

private:
    struct Entry {
        std::chrono::steady_clock::time_point due;
        std::function<void()> action;
        quint64 order;
    };
    class Handle final : public TimerHandle {
    public:
        explicit Handle(std::shared_ptr<Entry> entry) : m_entry(std::move(entry)) {}
        ~Handle() override { m_entry->action = nullptr; }
        bool isPending() const override { return bool(m_entry->action); }

    private:
        std::shared_ptr<Entry> m_entry;
    };

    std::chrono::steady_clock::time_point m_now{std::chrono::hours(1)};
    std::vector<std::shared_ptr<Entry>> m_entries;
    quint64 m_next = 0;
};

class FakePermissions final : public PermissionProbe {
public:
    bool microphoneGranted() override { return microphone; }
    bool accessibilityGranted() override { return accessibility; }
    bool screenRecordingGranted() override { return screenRecording; }
    bool requestMicrophone() override { return microphone; }
    bool requestAccessibility() override { return accessibility; }
    bool requestScreenRecording() override { return screenRecording; }

    bool microphone = true;
    bool accessibility = true;
    bool screenRecording = true;
};

class FakeSounds final : public SoundPlayer {
public:
    bool play(CompletionSound, double) override
    {
        ++plays;
        playing = true;
        return true;
    }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    void beep() override {}

    int plays = 0;
    bool playing = false;
};

class FakeWindowActivation final : public WindowActivation {
public:
    void activateApplication() override { ++activations; }
    bool raiseMainWindow() override
    {
        ++raises;
        return true;
    }
    int activations = 0;
    int raises = 0;
};

class FakeSystemLinks final : public SystemLinks {
public:
    bool open(Page page) override
    {
        opened.append(page);
        return true;
    }
    QList<Page> opened;
};

class FakeOverlay final : public OverlayPresenter {
public:
    void show() override
    {
        ++shows;
        presented = true;
    }
    void hide() override
    {
        ++hides;
        presented = false;
    }
    bool isPresented() const override { return presented; }
    int shows = 0;
    int hides = 0;
    bool presented = false;
};

class FakeResultPanel final : public AgentResultPresenter {
public:
    void showResult(const QUuid &conversationId) override
    {
        results.append(conversationId);
        toastShown = true;
    }
    void hideResult() override
    {
        ++hides;
        toastShown = false;
    }
    bool isConversationPanelVisible() const override { return panelVisible; }
    void centreConversationPanel() override { ++centred; }
    void presentConversationPanel() override
    {
        ++presented;
        panelVisible = true;
    }

    QList<QUuid> results;
    bool toastShown = false;
    int hides = 0;
    bool panelVisible = false;
    int centred = 0;
    int presented = 0;
};

// Everything behind one application state. Settings and keys a scenario needs are put
// in place before `start()` makes the state.
class CommandHarness {
public:
    CommandHarness()
        : audio(new FakeAudioInput), recorder(audio),
          whisper([](SpeechEngine) { return std::optional(testProgram(QStringLiteral("fake-speech-engine"))); }),
          hotKeys(&hotKeyBackend), capture(desktop.makePlatform()), keyring(std::make_shared<FakeSecretStore>()),
          notifications(QDBusConnection::sessionBus())
    {
        runtime.setExecutableOverride(testProgram(QStringLiteral("fake-sorvane-agent")));
        // The target's window, for screenshots.
        desktop.windows->windows = {WindowInfo{desktop.target.window, desktop.target.processId, QRect(50, 60, 420, 120), true, false}};
        // The speech model the state selects by default, present in the models folder.
        const SpeechModel pocket = modelStore.catalog().first();
        QDir().mkpath(modelStore.modelsDirectory());
        QFile model(modelStore.filePath(pocket));
        if (!model.exists() && model.open(QIODevice::WriteOnly))
            model.write("model");
    }
    ~CommandHarness()
    {
        state.reset();
        qunsetenv("FAKE_SPEECH_ENGINE_TRANSCRIPT");
    }

    void setAgentSettings(const AgentSettings &agentSettings)
    {
        settings.setValue(QStringLiteral("agentSettings"), QJsonDocument(agentSettings.toJson()).toJson());
    }
    void storeKey(const QString &service, const QString &account, const QString &key)
    {
        keyring->items.insert({service, account}, key.toUtf8());
    }

    AppState &start()
    {
        AppStateServices services{timers, settings, nullptr, permissions, modelStore, historyStore, agentModelStore,
                                  conversations, recorder, whisper, hotKeys, capture, keyring, runtime,
                                  notifications, sounds, windows, links, {}, {}};
        services.makeOverlay = [this](AppState &) {
            auto made = std::make_unique<FakeOverlay>();
            overlay = made.get();
            return std::unique_ptr<OverlayPresenter>(std::move(made));
        };
        services.makeResultPanel = [this](AppState &) {
            auto made = std::make_unique<FakeResultPanel>();
            panel = made.get();
            return std::unique_ptr<AgentResultPresenter>(std::move(made));
        };
        state = std::make_unique<AppState>(services);
        // The keyring answers at once; the keys count from here.
        QTest::qWaitFor([this] { return state->cloudKeysLoaded(); }, 10000);
        return *state;
    }

    // Speaks an instruction: the fake engine hears `transcript`.
    static void willHear(const QByteArray &transcript) { qputenv("FAKE_SPEECH_ENGINE_TRANSCRIPT", transcript); }

    bool cancelRegistered() const
    {
        return std::any_of(hotKeyBackend.registrations.begin(), hotKeyBackend.registrations.end(),
                           [](const auto &r) { return r.id == HotKeyManager::CancelId; });
    }

    FakeTimers timers;
    MemorySettingsStore settings;
    FakePermissions permissions;
    ModelStore modelStore;
    HistoryStore historyStore;
    AgentModelStore agentModelStore;
    AgentConversationStore conversations;
    FakeAudioInput *audio; // owned by the recorder
    AudioRecorder recorder;
    WhisperRunner whisper;
    FakeHotKeyBackend hotKeyBackend;
    HotKeyManager hotKeys;
    FakeDesktop desktop;
    AgentContextCaptureService capture;
    std::shared_ptr<FakeSecretStore> keyring;
    AgentRuntimeService runtime;
    AgentNotificationService notifications;
    FakeSounds sounds;
    FakeWindowActivation windows;
    FakeSystemLinks links;
    FakeOverlay *overlay = nullptr;
    FakeResultPanel *panel = nullptr;
    std::unique_ptr<AppState> state;
};

// Empties the private data folder between scenarios.
inline void clearDataFolder()
{
    QDir(AppPaths::root()).removeRecursively();
    (void)AppPaths::prepare();
}

} // namespace sorvane::testing
