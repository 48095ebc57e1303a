#pragma once

// The real application state over fakes of the desktop, with its stores in a
// temporary folder, for the screens' tests. The one place that knows how the state
// is put together.

#include "../capture/CaptureFakes.h"
#include "../command-services/FakeSecretStore.h"
#include "../hotkeys/FakeHotKeyBackend.h"
#include "AppState.h"
#include "FakeAudioInput.h"
#include "HistoryFixtures.h"
#include "MemorySettingsStore.h"
#include "Platform/PermissionProbe.h"
#include "Platform/SoundPlayer.h"
#include "Platform/SystemLinks.h"
#include "Platform/Timers.h"
#include "Platform/WindowActivation.h"
#include "Services/AgentModelStore.h"
#include "Services/AgentNotificationService.h"
#include "Services/AgentRuntimeService.h"
#include "Services/HotKeyManager.h"
#include "Services/ModelStore.h"
#include "Services/WhisperRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace sorvane::testing {

class FakePermissions final : public PermissionProbe {
public:
    bool microphone = true;
    bool accessibility = true;
    bool screenRecording = true;
    int accessibilityRequests = 0;
    int microphoneRequests = 0;
    bool microphoneGranted() override { return microphone; }
    bool accessibilityGranted() override { return accessibility; }
    bool screenRecordingGranted() override { return screenRecording; }
    bool requestMicrophone() override { ++microphoneRequests; return microphone; }
    bool requestAccessibility() override { ++accessibilityRequests; return accessibility; }
    bool requestScreenRecording() override { return screenRecording; }
};

class SilentSounds final : public SoundPlayer {
public:
    bool play(CompletionSound, double) override { return true; }
    void stop() override {}
    bool isPlaying() const override { return false; }
    void beep() override {}
};

class CountingWindows final : public WindowActivation {
public:
    int activations = 0;
    int mainWindowRaises = 0;
    void activateApplication() override { ++activations; }
    bool raiseMainWindow() override { ++mainWindowRaises; return true; }
};

class NoSystemLinks final : public SystemLinks {
public:
    bool open(Page) override { return false; }
};

struct TestAppState {
    QTemporaryDir dir;
    MemorySettingsStore settings;
    QtTimers timers;
    FakePermissions permissions;
    FakeDesktop desktop;
    // Owned by the recorder.
    FakeAudioInput *audioInput = new FakeAudioInput;
    std::shared_ptr<FakeSecretStore> keyring = std::make_shared<FakeSecretStore>();
    SilentSounds sounds;
    CountingWindows windows;
    NoSystemLinks links;
    std::unique_ptr<ModelStore> modelStore;
    std::unique_ptr<HistoryStore> historyStore;
    std::unique_ptr<AgentModelStore> agentModelStore;
    std::unique_ptr<AgentConversationStore> conversationStore;
    std::unique_ptr<AudioRecorder> recorder;
    WhisperRunner whisper;
    FakeHotKeyBackend hotKeyBackend;
    std::unique_ptr<HotKeyManager> hotKeys;
    std::unique_ptr<AgentContextCaptureService> capture;
    std::unique_ptr<AgentRuntimeService> runtime;
    std::unique_ptr<AgentNotificationService> notifications;
    std::unique_ptr<AppState> state;
    QDateTime conversationClock = QDateTime::currentDateTimeUtc();

    // `prepare` may set permissions and settings before the state reads them.
    explicit TestAppState(const std::function<void(TestAppState &)> &prepare = {})
    {
        ModelStore::Options options;
        options.modelsDirectory = dir.filePath("Models");
        options.catalog = SpeechModel::catalog();
        QDir().mkpath(options.modelsDirectory);
        modelStore = std::make_unique<ModelStore>(options);
        historyStore = makeHistoryStore(dir, [] { return QDateTime::currentDateTimeUtc(); });
        agentModelStore = std::make_unique<AgentModelStore>();
        conversationStore = makeConversationStore(dir, [this] { return conversationClock; });
        recorder = std::make_unique<AudioRecorder>(audioInput);
        hotKeys = std::make_unique<HotKeyManager>(&hotKeyBackend);
        capture = std::make_unique<AgentContextCaptureService>(desktop.makePlatform());
        runtime = std::make_unique<AgentRuntimeService>();
        notifications = std::make_unique<AgentNotificationService>(QDBusConnection(QStringLiteral("none")));
        if (prepare)
            prepare(*this);
        state = std::make_unique<AppState>(AppStateServices{
            timers, settings, nullptr, permissions, *modelStore, *historyStore, *agentModelStore, *conversationStore,
            *recorder, whisper, *hotKeys, *capture, keyring, *runtime, *notifications, sounds, windows, links, {}, {}});
    }

    ~TestAppState()
    {
        state.reset();
    }

    FakeClipboard &clipboard() { return *desktop.clipboard; }

    // Puts a speech model's file in the models folder.
    void installSpeechModel(const QString &id)
    {
        const SpeechModel *model = SpeechModel::find(id);
        QFile file(QDir(modelStore->modelsDirectory()).filePath(model->fileName));
        file.open(QIODevice::WriteOnly);
        file.write("model");
    }
};

} // namespace sorvane::testing
