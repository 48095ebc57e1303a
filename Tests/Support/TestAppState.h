#pragma once

#include "State/AppState.h"
#include "FakePermissionProbe.h"
#include "FakePlatform.h"
#include "FakeSoundPlayer.h"
#include "FakeSystemLinks.h"
#include "FakeTimers.h"
#include "FakeWindowActivation.h"
#include "MemorySettingsStore.h"
#include "RecordingAgentResultPresenter.h"
#include "RecordingOverlayPresenter.h"
#include "Services/Command/AgentNotificationService.h"
#include "Services/Command/AgentRuntimeService.h"
#include "Services/Shell/HotKeyManager.h"
#include "Services/Dictation/WhisperRunner.h"

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace sorvane::testing {

class LoggingSettingsStore;
class LoggingHotKeyBackend;
class GatedSecretStore;

// An application state over fakes, in one call. Set the fakes up (settings, keyring,
// model files, grants), then build(); the stores live in a temporary folder.
//
//   TestAppState t;
//   t.fakes.settings->values.insert("overlaySize", QStringLiteral("Mini"));
//   AppState &state = t.build();
//
// `log` records, in order, across the fakes: "set <settings key>", "keyring read
// <service>", "keyring write <service>", "hotkey +<id>" and "hotkey -<id>".
class TestAppState {
public:
    TestAppState();
    ~TestAppState();

    AppState &build();
    AppState &state() { return *m_state; }
    bool isBuilt() const { return m_state != nullptr; }

    // A speech model's file in the models folder, so that it counts as downloaded.
    void placeSpeechModelFile(const QString &modelID);
    QString modelsFolder() const;

    // Reads wait until unlockKeyring() while the keyring is locked.
    void lockKeyring();
    void unlockKeyring();
    bool keyringLocked() const;
    // Writes and removals wait until releaseKeyringWrites() while held.
    void holdKeyringWrites();
    void releaseKeyringWrites();
    // Called after each keyring read with its service (to lock the keyring midway, say).
    void afterKeyringRead(std::function<void(const QString &service)> hook);

    // Before build(): the legacy settings to migrate from (none by default).
    MemorySettingsStore legacySettings;
    bool withLegacySettings = false;
    // Before build(): the stores at their AppPaths locations (the test's XDG folders)
    // instead of the temporary folder, and a settings store of the test's own in place
    // of the platform's memory store.
    bool storesAtDefaultLocations = false;
    // Before build(): the conversations are read on a worker thread, as the program reads them.
    bool conversationsLoadInBackground = false;
    SettingsStore *settingsOverride = nullptr;
    const SettingsStore *legacySettingsOverride = nullptr;
    // Before build(): the speech-model catalogue (its addresses may point at a test's server).
    QList<SpeechModel> speechCatalog = SpeechModel::catalog();
    // Before build(): the runtime program (a path that does not exist by default).
    QString runtimeExecutable;
    // Before build(): makes the state's Command panels in place of the recording
    // presenter (then `resultPanel` stays null).
    std::function<std::unique_ptr<AgentResultPresenter>(AppState &)> resultPanelFactory;
    // Before build(): how the speech engine is found (none by default).
    WhisperRunner::EngineLocator engineLocator = [](SpeechEngine) { return std::optional<QString>(); };

    FakePlatform fakes;
    FakeTimers timers;
    FakePermissionProbe permissions;
    FakeSoundPlayer sounds;
    FakeWindowActivation windows;
    FakeSystemLinks links;
    // The presenters the state made; null until it made them.
    RecordingOverlayPresenter *overlay = nullptr;
    RecordingAgentResultPresenter *resultPanel = nullptr;
    QStringList log;

    QTemporaryDir folder;
    std::unique_ptr<ModelStore> modelStore;
    std::unique_ptr<HistoryStore> historyStore;
    std::unique_ptr<AgentModelStore> agentModelStore;
    std::unique_ptr<AgentConversationStore> agentConversationStore;
    std::unique_ptr<AudioRecorder> recorder;
    std::unique_ptr<WhisperRunner> whisper;
    std::unique_ptr<HotKeyManager> hotKeys;
    std::unique_ptr<AgentContextCaptureService> capture;
    std::unique_ptr<AgentRuntimeService> runtime;
    std::unique_ptr<AgentNotificationService> notifications;

private:
    std::unique_ptr<LoggingSettingsStore> m_settings;
    std::unique_ptr<LoggingHotKeyBackend> m_hotKeyBackend;
    std::shared_ptr<GatedSecretStore> m_keyring;
    std::unique_ptr<AppState> m_state;
};

// A shortcut setting by its key and modifiers, to set or to compare with what the state reads.
inline KeyboardShortcutSetting shortcut(quint32 keyCode, const QString &label, bool option, bool control, bool shift)
{
    KeyboardShortcutSetting value;
    value.keyCode = keyCode;
    value.keyLabel = label;
    value.option = option;
    value.control = control;
    value.shift = shift;
    return value;
}

} // namespace sorvane::testing
