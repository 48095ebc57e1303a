#pragma once

// The application state for the Command flow's scenarios: the test state of every
// area, with the capture fakes wired into one target application with a text field,
// the real speech-engine runner on the fake engine and the real runtime service on
// the scripted fake runtime.

#include "FakeDesktop.h"
#include "Services/Shell/HotKeyManager.h"
#include "TestAppState.h"
#include "TestPaths.h"

#include <QJsonDocument>
#include <QTest>

#include <algorithm>

namespace sorvane::testing {

class CommandHarness {
public:
    CommandHarness()
    {
        desktop.attach(t.fakes);
        // The target's window, for screenshots.
        desktop.windows->windows = {
            WindowInfo{desktop.target.window, desktop.target.processId, QRect(50, 60, 420, 120), true, false}};
        t.runtimeExecutable = testProgram(QStringLiteral("fake-sorvane-agent"));
        t.engineLocator = [](SpeechEngine) { return std::optional(testProgram(QStringLiteral("fake-speech-engine"))); };
        // The speech model the state selects by default counts as downloaded.
        t.placeSpeechModelFile(QStringLiteral("pocket"));
    }
    ~CommandHarness() { qunsetenv("FAKE_SPEECH_ENGINE_TRANSCRIPT"); }

    // Before start(): the stored Command settings.
    void setAgentSettings(const AgentSettings &agentSettings)
    {
        t.fakes.settings->values.insert(QStringLiteral("agentSettings"),
                                        QJsonDocument(agentSettings.toJson()).toJson(QJsonDocument::Compact));
    }
    void storeKey(const QString &service, const QString &account, const QString &key)
    {
        t.fakes.secretStore->items.insert({service, account}, key.toUtf8());
    }

    AppState &start()
    {
        AppState &state = t.build();
        QTest::qWaitFor([&] { return state.cloudKeysLoaded(); }, 10000);
        return state;
    }

    // What the fake engine hears in the next spoken instruction.
    static void willHear(const QByteArray &transcript) { qputenv("FAKE_SPEECH_ENGINE_TRANSCRIPT", transcript); }

    bool cancelRegistered() const
    {
        const auto &held = t.fakes.hotKeys->registrations;
        return std::any_of(held.begin(), held.end(), [](const auto &r) { return r.id == HotKeyManager::CancelId; });
    }
    int recorderStarts() const { return t.fakes.audioInput->starts; }
    int soundsPlayed() const { return int(t.sounds.calls.filter(QStringLiteral("play ")).size()); }
    QStringList panelCalls() const { return t.resultPanel ? t.resultPanel->calls : QStringList(); }
    bool overlayPresented() const { return t.overlay && t.overlay->presented; }

    TestAppState t;
    FakeDesktop desktop;
};

} // namespace sorvane::testing
