#pragma once

// The one application-state object: it holds every setting and every published value
// that the overlay, the panels, the tray menu and the screens show, and carries the
// operations of Dictation and Command from shortcut to pasted text.
//
// How QML reaches what is here (the screens see the object as `appState`):
// - Plain values (Bool, numbers, texts, text lists) are properties with NOTIFY signals;
//   a QStringList such as `vocabulary` serves directly as a view model.
// - Enumerations are declared in Enumerations.h with Q_ENUM_NS; once the screens side
//   registers `sorvane::staticMetaObject` (for example with
//   qmlRegisterUncreatableMetaObject(sorvane::staticMetaObject, "Sorvane", 1, 0,
//   "Sorvane", ...)) QML names them as Sorvane.AgentPhase.Generating and so on.
//   Enumerations inside value types (CaptureStatus.Kind, ErrorResolutionDestination.Kind)
//   are Q_ENUMs of those gadgets.
// - Value types are Q_GADGETs with properties: CaptureStatus (`kind`, `text`),
//   ErrorResolution, KeyboardShortcutSetting, AgentSettings, AgentPromptProfile,
//   SpeechModel, AgentModelDescriptor, AgentContextAttachment. A screen that edits one
//   changes a copy and assigns the copy back (`var s = appState.agentSettings;
//   s.copyResult = false; appState.agentSettings = s`).
// - Values that may be absent (an optional id, an optional model, the error banner) are
//   QVariant properties that read as null when absent (assign null to clear one);
//   conversation ids are the upper-case UUID text.
// - Sets shown as lists (`configuredCloudProviders`, `agentShortcutConflicts`) are
//   QVariantLists; `isAPIKeyConfigured()` and `isShortcutConflicting()` answer for one
//   value (bind them together with the list property so they re-evaluate).
// - The stores and the recorder are CONSTANT QObject properties; their own properties
//   and list models are theirs.
// - Asynchronous operations started from QML report their end by signal
//   (`apiKeyOperationFinished`, `agentScreenshotAttachmentCaptured`, ...).

#include "Command/AgentConversation.h"
#include "Command/AgentModelDescriptor.h"
#include "Command/AgentPhase.h"
#include "Command/AgentSettings.h"
#include "Dictation/DictationTypes.h"
#include "Shared/ErrorResolution.h"
#include "Shared/KeyboardShortcutSetting.h"
#include "Support/Result.h"
#include "Platform/Timers.h"
#include "State/Presenters/AgentResultPresenter.h"
#include "State/Presenters/OverlayPresenter.h"
#include "Services/Command/AgentContextCaptureService.h"
#include "Services/Command/AgentConversationStore.h"
#include "Services/Command/AgentModelStore.h"
#include "Services/Command/AgentPasteCoordinator.h"
#include "Services/Dictation/AudioRecorder.h"
#include "Services/Command/CloudAPIKeychainStore.h"
#include "State/APIKeyOperations.h"
#include "Services/Dictation/HistoryStore.h"
#include "Services/Shell/HotKeyManager.h"
#include "Services/Dictation/ModelStore.h"
#include "Services/Shared/PasteboardSnapshot.h"
#include "Dictation/SpeechModel.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace sorvane {

class AgentConversationStore;
class AgentModelStore;
class AgentNotificationService;
class AgentPasteCoordinator;
class AgentResultPresenter;
class AgentRuntimeService;
struct AgentRuntimeEvent;
class AppState;
class AudioRecorder;
class HistoryStore;
class HotKeyManager;
class ModelStore;
class OverlayPresenter;
class PermissionProbe;
class SecretStore;
class SettingsStore;
class SoundPlayer;
class SpeechModelDownload;
class SystemClipboard;
class SystemLinks;
class TimerHandle;
class Timers;
class WhisperRunner;
class WindowActivation;

// Everything the state works through. The program builds these from the desktop's
// services (makeAppState); tests build them from fakes. The stores and services are
// made, in this order, before the state: speech models, history (loaded), writing
// models, conversations, recorder, hot keys, capture, runtime, notifications. The
// state owns none of them and never outlives them.
struct AppStateServices {
    Timers &timers;
    SettingsStore &settings;
    // The earlier product's settings, read once by the migration; none: nothing to migrate.
    const SettingsStore *legacySettings = nullptr;
    PermissionProbe &permissions;
    ModelStore &modelStore;
    HistoryStore &historyStore;
    AgentModelStore &agentModelStore;
    AgentConversationStore &agentConversationStore;
    AudioRecorder &recorder;
    const WhisperRunner &whisper;
    HotKeyManager &hotKeys;
    AgentContextCaptureService &capture;
    // The platform's one clipboard, the one the capture service works on: Dictation's
    // snapshot, write, restore and change count go through it as Command's capture and
    // paste do.
    SystemClipboard &clipboard;
    // The keyring behind the three cloud-key stores.
    std::shared_ptr<SecretStore> keyring;
    AgentRuntimeService &runtime;
    AgentNotificationService &notifications;
    SoundPlayer &sounds;
    WindowActivation &windows;
    SystemLinks &links;
    // Make the overlay and the Command panels on first use; each may refer back to the
    // state, never owning it. Without a factory the state works without that window.
    std::function<std::unique_ptr<OverlayPresenter>(AppState &)> makeOverlay;
    std::function<std::unique_ptr<AgentResultPresenter>(AppState &)> makeResultPanel;
};

class AppState : public QObject {
    Q_OBJECT

    // Navigation and published state.
    Q_PROPERTY(sorvane::AppSection selectedSection READ selectedSection WRITE setSelectedSection NOTIFY selectedSectionChanged)
    Q_PROPERTY(sorvane::SettingsArea selectedSettingsArea READ selectedSettingsArea WRITE setSelectedSettingsArea NOTIFY selectedSettingsAreaChanged)
    Q_PROPERTY(sorvane::AgentWritingProvider selectedAPIKeyProvider READ selectedAPIKeyProvider WRITE setSelectedAPIKeyProvider NOTIFY selectedAPIKeyProviderChanged)
    Q_PROPERTY(sorvane::CaptureStatus status READ status NOTIFY statusChanged)
    Q_PROPERTY(QString lastTranscript READ lastTranscript NOTIFY lastTranscriptChanged)
    Q_PROPERTY(QString targetApplicationName READ targetApplicationName NOTIFY targetApplicationNameChanged)
    Q_PROPERTY(sorvane::AgentPhase agentPhase READ agentPhase NOTIFY agentPhaseChanged)
    Q_PROPERTY(QString agentPhaseDetail READ agentPhaseDetail NOTIFY agentPhaseDetailChanged)
    Q_PROPERTY(QString agentStreamedText READ agentStreamedText NOTIFY agentStreamedTextChanged)
    Q_PROPERTY(QString agentResultText READ agentResultText NOTIFY agentResultTextChanged)
    Q_PROPERTY(double agentProgress READ agentProgress NOTIFY agentProgressChanged)
    Q_PROPERTY(QVariant activeAgentConversationID READ activeAgentConversationIDValue WRITE setActiveAgentConversationIDValue NOTIFY activeAgentConversationIDChanged)
    Q_PROPERTY(QVariant agentWorkingConversationID READ agentWorkingConversationIDValue NOTIFY agentWorkingConversationIDChanged)
    Q_PROPERTY(bool agentResultNeedsPaste READ agentResultNeedsPaste NOTIFY agentResultNeedsPasteChanged)
    Q_PROPERTY(bool agentPanelVisible READ agentPanelVisible WRITE setAgentPanelVisible NOTIFY agentPanelVisibleChanged)
    Q_PROPERTY(bool microphoneGranted READ microphoneGranted WRITE setMicrophoneGranted NOTIFY microphoneGrantedChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted WRITE setAccessibilityGranted NOTIFY accessibilityGrantedChanged)
    Q_PROPERTY(bool screenRecordingGranted READ screenRecordingGranted WRITE setScreenRecordingGranted NOTIFY screenRecordingGrantedChanged)
    Q_PROPERTY(int permissionAttentionRequest READ permissionAttentionRequest NOTIFY permissionAttentionRequestChanged)
    Q_PROPERTY(QVariant errorResolution READ errorResolutionValue WRITE setErrorResolutionValue NOTIFY errorResolutionChanged)
    Q_PROPERTY(QVariant pendingPreferredSpeechModelID READ pendingPreferredSpeechModelIDValue NOTIFY pendingPreferredSpeechModelIDChanged)
    Q_PROPERTY(QVariant preferredSpeechModelDownloadError READ preferredSpeechModelDownloadErrorValue NOTIFY preferredSpeechModelDownloadErrorChanged)

    // Settings: every assignment runs its writer (stores the value, plus the side effect
    // noted at the writer); NOTIFY fires when the value changed.
    Q_PROPERTY(bool onboardingComplete READ onboardingComplete WRITE setOnboardingComplete NOTIFY onboardingCompleteChanged)
    Q_PROPERTY(QString selectedModelID READ selectedModelID WRITE setSelectedModelID NOTIFY selectedModelIDChanged)
    Q_PROPERTY(bool automaticPaste READ automaticPaste WRITE setAutomaticPaste NOTIFY automaticPasteChanged)
    Q_PROPERTY(bool clipboardRestoreEnabled READ clipboardRestoreEnabled WRITE setClipboardRestoreEnabled NOTIFY clipboardRestoreEnabledChanged)
    Q_PROPERTY(int clipboardRestoreDelay READ clipboardRestoreDelay WRITE setClipboardRestoreDelay NOTIFY clipboardRestoreDelayChanged)
    Q_PROPERTY(bool smartDictationEnabled READ smartDictationEnabled WRITE setSmartDictationEnabled NOTIFY smartDictationEnabledChanged)
    Q_PROPERTY(sorvane::OverlayAppearance overlayAppearance READ overlayAppearance WRITE setOverlayAppearance NOTIFY overlayAppearanceChanged)
    Q_PROPERTY(sorvane::OverlaySize overlaySize READ overlaySize WRITE setOverlaySize NOTIFY overlaySizeChanged)
    Q_PROPERTY(sorvane::CompletionSound completionSound READ completionSound WRITE setCompletionSound NOTIFY completionSoundChanged)
    Q_PROPERTY(bool completionSoundEnabled READ completionSoundEnabled WRITE setCompletionSoundEnabled NOTIFY completionSoundEnabledChanged)
    Q_PROPERTY(sorvane::KeyboardShortcutSetting toggleShortcut READ toggleShortcut WRITE setToggleShortcut NOTIFY toggleShortcutChanged)
    Q_PROPERTY(sorvane::KeyboardShortcutSetting pushToTalkShortcut READ pushToTalkShortcut WRITE setPushToTalkShortcut NOTIFY pushToTalkShortcutChanged)
    Q_PROPERTY(sorvane::KeyboardShortcutSetting cancelShortcut READ cancelShortcut WRITE setCancelShortcut NOTIFY cancelShortcutChanged)
    Q_PROPERTY(sorvane::KeyboardShortcutSetting agentShortcut READ agentShortcut WRITE setAgentShortcut NOTIFY agentShortcutChanged)
    Q_PROPERTY(sorvane::KeyboardShortcutSetting agentScreenshotShortcut READ agentScreenshotShortcut WRITE setAgentScreenshotShortcut NOTIFY agentScreenshotShortcutChanged)
    Q_PROPERTY(sorvane::AgentSettings agentSettings READ agentSettings WRITE setAgentSettings NOTIFY agentSettingsChanged)
    Q_PROPERTY(QStringList vocabulary READ vocabulary WRITE setVocabulary NOTIFY vocabularyChanged)

    Q_PROPERTY(QVariantList configuredCloudProviders READ configuredCloudProviderList NOTIFY configuredCloudProvidersChanged)
    // True once the keyring has answered for every cloud provider (it may be locked at login).
    Q_PROPERTY(bool cloudKeysLoaded READ cloudKeysLoaded NOTIFY cloudKeysLoadedChanged)
    Q_PROPERTY(double transcriptionProgress READ transcriptionProgress NOTIFY transcriptionProgressChanged)
    Q_PROPERTY(bool hotKeysSuspended READ hotKeysSuspended WRITE setHotKeysSuspended NOTIFY hotKeysSuspendedChanged)

    // Derived values, notified whenever what they derive from changes.
    Q_PROPERTY(QVariant selectedModel READ selectedModelValue NOTIFY selectedModelChanged)
    Q_PROPERTY(bool canDictate READ canDictate NOTIFY canDictateChanged)
    Q_PROPERTY(QVariant selectedAgentModel READ selectedAgentModelValue NOTIFY selectedAgentModelChanged)
    Q_PROPERTY(QVariantList agentShortcutConflicts READ agentShortcutConflictList NOTIFY agentShortcutConflictsChanged)
    Q_PROPERTY(bool overlayShowsAgent READ overlayShowsAgent NOTIFY overlayShowsAgentChanged)

    // Owned objects the screens read.
    Q_PROPERTY(sorvane::AudioRecorder *recorder READ recorderObject CONSTANT)
    Q_PROPERTY(sorvane::ModelStore *modelStore READ modelStoreObject CONSTANT)
    Q_PROPERTY(sorvane::HistoryStore *historyStore READ historyStoreObject CONSTANT)
    Q_PROPERTY(sorvane::AgentModelStore *agentModelStore READ agentModelStoreObject CONSTANT)
    Q_PROPERTY(sorvane::AgentConversationStore *agentConversationStore READ agentConversationStoreObject CONSTANT)
    Q_PROPERTY(sorvane::HotKeyManager *hotKey READ hotKeyObject CONSTANT)
    Q_PROPERTY(sorvane::APIKeyOperations *apiKeys READ apiKeysObject CONSTANT)

public:
    // Runs the whole start-up: settings migrated and read, callbacks connected, leftover
    // recordings removed, cloud keys loading, shortcuts registered, runtime started.
    // Never fails; failures leave defaults.
    explicit AppState(AppStateServices services, QObject *parent = nullptr);
    ~AppState() override;

    // The instance the notification click and the program's entry reach; set while
    // the first state object lives.
    static AppState *instance();

    // Settings keys.
    static constexpr auto migrationFlagKey = "didMigrateProductIdentityToSorvane";
    static constexpr int minimumClipboardRestoreDelay = 1;
    static constexpr int maximumClipboardRestoreDelay = 60;
    static constexpr double completionSoundVolume = 0.55;
    static constexpr int maximumPromptProfiles = 5;

    // ---- Published state (C++ side) ----
    AppSection selectedSection() const { return m_selectedSection; }
    void setSelectedSection(AppSection section);
    SettingsArea selectedSettingsArea() const { return m_selectedSettingsArea; }
    void setSelectedSettingsArea(SettingsArea area);
    AgentWritingProvider selectedAPIKeyProvider() const { return m_selectedAPIKeyProvider; }
    void setSelectedAPIKeyProvider(AgentWritingProvider provider);

    const CaptureStatus &status() const { return m_status; }
    void setStatus(const CaptureStatus &status);
    const QString &lastTranscript() const { return m_lastTranscript; }
    // What the last finished dictation did, set before its success status: inserted
    // into the target, else only copied, with the key that pastes the clipboard in the
    // target (empty where no key does).
    bool lastDictationInserted() const { return m_lastDictationInserted; }
    const QString &lastDictationPasteKeyName() const { return m_lastDictationPasteKeyName; }
    void setLastTranscript(const QString &text);
    const QString &targetApplicationName() const { return m_targetApplicationName; }
    void setTargetApplicationName(const QString &name);

    AgentPhase agentPhase() const { return m_agentPhase; }
    void setAgentPhase(AgentPhase phase);
    const QString &agentPhaseDetail() const { return m_agentPhaseDetail; }
    void setAgentPhaseDetail(const QString &detail);
    const QString &agentStreamedText() const { return m_agentStreamedText; }
    void setAgentStreamedText(const QString &text);
    // Adds a streamed delta in place, so that the thousandth costs what the first did.
    void appendAgentStreamedText(const QString &delta);
    const QString &agentResultText() const { return m_agentResultText; }
    void setAgentResultText(const QString &text);
    double agentProgress() const { return m_agentProgress; }
    void setAgentProgress(double progress);
    const std::optional<QUuid> &activeAgentConversationID() const { return m_activeAgentConversationID; }
    void setActiveAgentConversationID(const std::optional<QUuid> &id);
    bool agentResultNeedsPaste() const { return m_agentResultNeedsPaste; }
    void setAgentResultNeedsPaste(bool needsPaste);
    bool agentPanelVisible() const { return m_agentPanelVisible; }
    void setAgentPanelVisible(bool visible);

    bool microphoneGranted() const { return m_microphoneGranted; }
    void setMicrophoneGranted(bool granted);
    bool accessibilityGranted() const { return m_accessibilityGranted; }
    // Accessibility access was granted at some moment of this run (so a loss is a revocation).
    bool accessibilityGrantSeen() const { return m_accessibilityGrantSeen; }
    void setAccessibilityGranted(bool granted);
    bool screenRecordingGranted() const { return m_screenRecordingGranted; }
    void setScreenRecordingGranted(bool granted);
    int permissionAttentionRequest() const { return m_permissionAttentionRequest; }
    // Asks the settings screen to point at the permission rows once more.
    void requestPermissionAttention();
    // True once for each new request: the handled value is kept here, so a new settings
    // screen does not take an old request for a new one.
    Q_INVOKABLE bool takePermissionAttentionRequest();
    // The key row a request (openAPIKeySettings, a cloud selectedAPIKeyProvider) asks
    // the settings screen to open, once; null when none is waiting. A request made
    // before any settings screen exists waits for the first one.
    Q_INVOKABLE QVariant takeAPIKeyRowRequest();

    const std::optional<ErrorResolution> &errorResolution() const { return m_errorResolution; }
    void setErrorResolution(const std::optional<ErrorResolution> &resolution);
    const std::optional<QString> &pendingPreferredSpeechModelID() const { return m_pendingPreferredSpeechModelID; }
    void setPendingPreferredSpeechModelID(const std::optional<QString> &id);
    const std::optional<QString> &preferredSpeechModelDownloadError() const { return m_preferredSpeechModelDownloadError; }
    void setPreferredSpeechModelDownloadError(const std::optional<QString> &message);

    double transcriptionProgress() const { return m_transcriptionProgress; }
    void setTranscriptionProgress(double progress);

    // ---- Settings (writers: store, then the side effect) ----
    bool onboardingComplete() const { return m_onboardingComplete; }
    void setOnboardingComplete(bool complete);
    const QString &selectedModelID() const { return m_selectedModelID; }
    // Also clears a pending onboarding model that differs from the new one.
    void setSelectedModelID(const QString &id);
    bool automaticPaste() const { return m_automaticPaste; }
    void setAutomaticPaste(bool enabled);
    bool clipboardRestoreEnabled() const { return m_clipboardRestoreEnabled; }
    void setClipboardRestoreEnabled(bool enabled);
    int clipboardRestoreDelay() const { return m_clipboardRestoreDelay; }
    // Clamped into 1...60 seconds.
    void setClipboardRestoreDelay(int seconds);
    bool smartDictationEnabled() const { return m_smartDictationEnabled; }
    void setSmartDictationEnabled(bool enabled);
    OverlayAppearance overlayAppearance() const { return m_overlayAppearance; }
    void setOverlayAppearance(OverlayAppearance appearance);
    OverlaySize overlaySize() const { return m_overlaySize; }
    void setOverlaySize(OverlaySize size);
    CompletionSound completionSound() const { return m_completionSound; }
    void setCompletionSound(CompletionSound sound);
    bool completionSoundEnabled() const { return m_completionSoundEnabled; }
    // Switching it off stops the sound that is playing.
    void setCompletionSoundEnabled(bool enabled);
    // Each shortcut writer stores the shortcut and re-registers the shortcuts.
    const KeyboardShortcutSetting &toggleShortcut() const { return m_toggleShortcut; }
    void setToggleShortcut(const KeyboardShortcutSetting &shortcut);
    const KeyboardShortcutSetting &pushToTalkShortcut() const { return m_pushToTalkShortcut; }
    void setPushToTalkShortcut(const KeyboardShortcutSetting &shortcut);
    const KeyboardShortcutSetting &cancelShortcut() const { return m_cancelShortcut; }
    void setCancelShortcut(const KeyboardShortcutSetting &shortcut);
    const KeyboardShortcutSetting &agentShortcut() const { return m_agentShortcut; }
    void setAgentShortcut(const KeyboardShortcutSetting &shortcut);
    const KeyboardShortcutSetting &agentScreenshotShortcut() const { return m_agentScreenshotShortcut; }
    void setAgentScreenshotShortcut(const KeyboardShortcutSetting &shortcut);
    // Stores the record, also an unchanged one; re-registers the shortcuts only when a
    // profile's shortcut or the Command-with-screenshot shortcut's use changes.
    const AgentSettings &agentSettings() const { return m_agentSettings; }
    void setAgentSettings(const AgentSettings &settings);
    const QStringList &vocabulary() const { return m_vocabulary; }
    void setVocabulary(const QStringList &terms);

    // ---- Cloud keys ----
    const QSet<AgentWritingProvider> &configuredCloudProviders() const { return m_configuredCloudProviders; }
    bool cloudKeysLoaded() const { return m_cloudKeysLoaded; }
    // The keyring's read error for a provider at start-up, if any: the provider is left
    // unconfigured for this run but stays the writing provider; a Command reports this
    // error (destination: that provider's API key) instead of "no key".
    std::optional<CloudAPIKeychainError> cloudKeyLoadError(AgentWritingProvider provider) const;
    // The provider's key store; none for `local`.
    const CloudAPIKeychainStore *cloudKeychain(AgentWritingProvider provider) const;
    // Trims, validates and stores the key; on success the provider counts as configured.
    // `local` has no key: success, nothing changes.
    QCoro::Task<Result<Done, CloudAPIKeychainError>> saveAPIKey(QString key, AgentWritingProvider provider);
    // Deletes the key (current and legacy items); the writing provider falls back to
    // `local` when it was this provider.
    QCoro::Task<Result<Done, CloudAPIKeychainError>> removeAPIKey(AgentWritingProvider provider);

    // ---- Derived values ----
    // The speech-model store's catalogue entry with that id.
    std::optional<SpeechModel> catalogModel(const QString &id) const;
    std::optional<SpeechModel> selectedModel() const;
    bool canDictate() const;
    std::optional<AgentModelDescriptor> selectedAgentModel() const;
    QSet<KeyboardShortcutSetting> agentShortcutConflicts() const;
    bool overlayShowsAgent() const;

    // ---- Owned services (C++ side; the flows use them) ----
    ModelStore &modelStore() const { return m_services.modelStore; }
    HistoryStore &historyStore() const { return m_services.historyStore; }
    AgentModelStore &agentModelStore() const { return m_services.agentModelStore; }
    APIKeyOperations &apiKeys() const { return *m_apiKeys; }
    AgentConversationStore &agentConversationStore() const { return m_services.agentConversationStore; }
    AudioRecorder &recorder() const { return m_services.recorder; }
    const WhisperRunner &whisper() const { return m_services.whisper; }
    HotKeyManager &hotKey() const { return m_services.hotKeys; }
    AgentContextCaptureService &agentContextCapture() const { return m_services.capture; }
    AgentRuntimeService &agentRuntime() const { return m_services.runtime; }
    AgentNotificationService &agentNotifications() const { return m_services.notifications; }
    SettingsStore &defaults() const { return m_services.settings; }
    Timers &timers() const { return m_services.timers; }
    // The program's one clipboard.
    SystemClipboard &clipboard() const { return m_services.clipboard; }
    // Made on first use, then kept.
    AgentPasteCoordinator &agentPaste();
    // Made on first use through the factory; null when the program has no such window.
    OverlayPresenter *overlayController();
    AgentResultPresenter *agentResultController();

    // ---- Shortcut wiring ----
    bool hotKeysSuspended() const { return m_hotKeysSuspended; }
    // Suspending unregisters every shortcut, the cancel shortcut included, and nothing
    // registers until resumed (the settings screen is recording one); resuming
    // registers them again.
    Q_INVOKABLE void setHotKeysSuspended(bool suspended);
    // Unregisters and registers again: toggle, push-to-talk, Command, Command with
    // screenshot (only when the selected writing model takes images), one per prompt
    // profile, and cancel only while a Dictation records or a Command is active.
    Q_INVOKABLE void refreshHotKeys();
    bool pushToTalkActive() const { return m_pushToTalkActive; }

    // ---- Dictation ----
    Q_INVOKABLE void toggleRecording();
    Q_INVOKABLE void startRecording();
    Q_INVOKABLE void stopAndTranscribe();
    // Cancels a Dictation recording or the active Command.
    Q_INVOKABLE void cancelRecording();
    Q_INVOKABLE void beginPushToTalk();
    Q_INVOKABLE void endPushToTalk();
    void showPermissionError(PermissionAttention attention);
    const std::optional<PermissionAttention> &permissionAttention() const { return m_permissionAttention; }

    // ---- Command ----
    // The Command toggle (shortcut or menu): stops and runs while listening, does
    // nothing while a Command works, otherwise starts a new one.
    void toggleAgentRecording(bool includeScreenshot, const std::optional<QUuid> &profileID);
    Q_INVOKABLE void toggleAgentRecording(bool includeScreenshot = false);
    // The Command toggle of prompt profile `index` (in list order).
    Q_INVOKABLE void toggleAgentRecordingForProfile(int index);
    void startAgentRecording(bool includeScreenshot, const std::optional<QUuid> &conversationID,
                             const std::optional<QUuid> &profileID);
    void stopAgentAndRun();
    void runWritingAgent(const QString &instruction, const QUuid &conversationID,
                         const QList<AgentContextAttachment> &attachments, bool isContinuation,
                         const std::optional<QUuid> &profileID);
    // Also logged, with `cause` when given.
    void showAgentError(const QString &message, const std::optional<ErrorResolutionDestination> &destination,
                        const QString &cause = {});
    Q_INVOKABLE void startAgentFollowUpRecording();
    void submitAgentFollowUp(const QString &text, const QList<AgentContextAttachment> &attachments);
    // QML: `attachments` holds AgentContextAttachment values.
    Q_INVOKABLE void submitAgentFollowUp(const QString &text, const QVariantList &attachments);
    // Captures the Command target's window as a screenshot attachment; fails with a
    // user-readable message without a target or when no capture is possible.
    QCoro::Task<Result<AgentContextAttachment, QString>> captureAgentScreenshotAttachment();
    // QML: reports through agentScreenshotAttachmentCaptured / ...Failed.
    Q_INVOKABLE void requestAgentScreenshotAttachment();
    void openAgentConversation(const QUuid &conversationID);
    Q_INVOKABLE void openAgentConversation(const QString &conversationID);
    Q_INVOKABLE void copyAgentResult();
    Q_INVOKABLE void pasteAgentResult();
    // The same for the last answer of one conversation (the one a window shows).
    void copyAgentAnswer(const QUuid &conversationID);
    void pasteAgentAnswer(const QUuid &conversationID);

    // ---- Command flow ----
    // A Command is being captured, listened to, transcribed, run or delivered: a new
    // Command, a follow-up or a Dictation started now would take its recorder, target
    // or clipboard.
    bool isCommandBusy() const;
    // The conversation that the Command in progress records for, transcribes for or
    // runs on; none while no Command is active or while a new one has no conversation yet.
    // Streamed text belongs to this conversation, whichever one the window shows.
    std::optional<QUuid> agentWorkingConversationID() const;
    bool isAgentConversationInUse(const QUuid &conversationID) const;
    // Removes a conversation with its attachment folder; the Command panel lets go of it
    // first. Refused (false) while the conversation is in use: its run would move
    // attachments into a folder nothing removes and store its answer nowhere.
    bool deleteAgentConversation(const QUuid &conversationID);
    Q_INVOKABLE bool deleteAgentConversation(const QString &conversationID);

    // ---- Overlay click, permissions, onboarding, vocabulary, profiles ----
    Q_INVOKABLE void handleOverlayTap();
    Q_INVOKABLE void requestMicrophone();
    Q_INVOKABLE void requestScreenRecording();
    // Turns the accessibility bus on where it can and stores the answer.
    Q_INVOKABLE void requestAccessibility();
    // Re-reads the three grants (assigned and announced even when unchanged). The
    // program calls it whenever it becomes active.
    Q_INVOKABLE void refreshPermissions();
    void prepareSpeechModelForOnboarding(const SpeechModel &model);
    Q_INVOKABLE void prepareSpeechModelForOnboarding(const QString &modelID);
    void completeOnboarding(const SpeechModel &preferredModel);
    Q_INVOKABLE void completeOnboarding(const QString &preferredModelID);
    Q_INVOKABLE void addVocabulary(const QString &term);
    Q_INVOKABLE void removeVocabulary(const QString &term);
    Q_INVOKABLE void addPromptProfile();
    void removePromptProfile(const QUuid &profileID);
    Q_INVOKABLE void removePromptProfile(const QString &profileID);
    // Deletes a downloaded speech model ("pocket" stays); once the file is gone a selection
    // of it falls back to "pocket" (a failed delete keeps both).
    Result<Done, QString> removeModel(const SpeechModel &model);
    // QML: a failure is reported through speechModelRemovalFailed.
    Q_INVOKABLE void removeModel(const QString &modelID);

    // ---- The model sheets (AppStateModels.cpp) ----
    // Fetches a speech model (or joins its running download) and selects it when the
    // file is in place, unless the selection changed since; a present file is selected
    // at once. Outlives any screen. A failure: speechModelDownloadFailed.
    Q_INVOKABLE void downloadSpeechModelThenSelect(const QString &modelID);
    // Makes a writing model the Command model (two settings assignments: the model's
    // id into its provider's field, then the provider).
    Q_INVOKABLE void selectWritingModel(const QString &modelID);
    // Fetches a local writing model's files, then selects it unless the Command model
    // changed since. A failure: writingModelOperationFailed.
    Q_INVOKABLE void downloadWritingModelThenSelect(const QString &modelID);
    // Removes a local model's files; when it is the selected local model at this moment
    // the on-device model takes its place. A failure: writingModelOperationFailed.
    Q_INVOKABLE void removeWritingModel(const QString &modelID);

    // ---- Keys and windows ----
    // QML: report through apiKeyOperationFinished.
    Q_INVOKABLE void beginSaveAPIKey(const QString &key, sorvane::AgentWritingProvider provider);
    Q_INVOKABLE void beginRemoveAPIKey(sorvane::AgentWritingProvider provider);
    Q_INVOKABLE bool isAPIKeyConfigured(sorvane::AgentWritingProvider provider) const;
    Q_INVOKABLE bool isShortcutConflicting(const sorvane::KeyboardShortcutSetting &shortcut) const;
    // Why the system refused the shortcut at its last registration ("In use by another
    // program"); empty when it was not refused.
    Q_INVOKABLE QString shortcutRefusalReason(const sorvane::KeyboardShortcutSetting &shortcut) const;
    // For a cloud provider: the Account area of the settings with that provider's key
    // row, and the main window forward. Nothing for `local`.
    Q_INVOKABLE void openAPIKeySettings(sorvane::AgentWritingProvider provider);
    // Activates the program and shows the main window (again, when it was closed).
    Q_INVOKABLE void bringMainWindowForward();

    // ---- Timed actions (the flows schedule them) ----
    // Progress from 0.03, one step of the engine's curve every 0.18 s while the status is
    // processing. The flow cancels it with stopTranscriptionProgress() when done.
    void beginTranscriptionProgress(const SpeechModel &model);
    void stopTranscriptionProgress();
    // The one pending overlay hide, of either flow: scheduling cancels the pending one.
    // Neither takes the overlay down while Dictation records or transcribes or a Command
    // is under way. A Dictation hide that runs ends with the status idle and no progress.
    void scheduleOverlayHide(double seconds);
    void scheduleAgentOverlayHide(double seconds);
    void cancelOverlayHide();
    // Hides the overlay at once (when it was ever made).
    void hideOverlayNow();
    // The clipboard to put back after this dictation: the one from before the previous
    // dictation while the clipboard still holds that dictation's text, else the current
    // one. Cancels the pending restore.
    PasteboardSnapshot takeClipboardSnapshotForRestore();
    // After a successful paste, with restore on: puts the snapshot back after the
    // configured delay, unless someone wrote to the clipboard since.
    void scheduleClipboardRestore(const PasteboardSnapshot &snapshot);
    // Stops a playing completion sound, then plays the chosen one at 0.55 (the bell when
    // it cannot be loaded) unless sounds are off. Also the settings screen's preview.
    Q_INVOKABLE void playCompletionSound();
    // The overlay's "Reset": back to its default place, making the overlay if it was
    // never shown.
    Q_INVOKABLE void resetOverlayPosition();
    // The desktop's bell (a refused key in the shortcut recorder).
    Q_INVOKABLE void beep();
    bool isCompletionSoundPlaying() const;
    // Test and flow access to the one pending overlay hide and clipboard restore.
    bool isOverlayHidePending() const;
    bool isClipboardRestorePending() const;

Q_SIGNALS:
    void selectedSectionChanged();
    void selectedSettingsAreaChanged();
    void selectedAPIKeyProviderChanged();
    void statusChanged();
    void lastTranscriptChanged();
    void targetApplicationNameChanged();
    void agentPhaseChanged();
    void agentPhaseDetailChanged();
    void agentStreamedTextChanged();
    void agentResultTextChanged();
    void agentProgressChanged();
    void activeAgentConversationIDChanged();
    void agentWorkingConversationIDChanged();
    void agentResultNeedsPasteChanged();
    void agentPanelVisibleChanged();
    void microphoneGrantedChanged();
    void accessibilityGrantedChanged();
    void screenRecordingGrantedChanged();
    void permissionAttentionRequestChanged();
    void apiKeyRowRequested();
    void errorResolutionChanged();
    void pendingPreferredSpeechModelIDChanged();
    void preferredSpeechModelDownloadErrorChanged();
    void onboardingCompleteChanged();
    void selectedModelIDChanged();
    void automaticPasteChanged();
    void clipboardRestoreEnabledChanged();
    void clipboardRestoreDelayChanged();
    void smartDictationEnabledChanged();
    void overlayAppearanceChanged();
    void overlaySizeChanged();
    void completionSoundChanged();
    void completionSoundEnabledChanged();
    void toggleShortcutChanged();
    void pushToTalkShortcutChanged();
    void cancelShortcutChanged();
    void agentShortcutChanged();
    void agentScreenshotShortcutChanged();
    void agentSettingsChanged();
    void vocabularyChanged();
    void configuredCloudProvidersChanged();
    void cloudKeysLoadedChanged();
    void transcriptionProgressChanged();
    void hotKeysSuspendedChanged();
    void selectedModelChanged();
    void canDictateChanged();
    void selectedAgentModelChanged();
    void agentShortcutConflictsChanged();
    void overlayShowsAgentChanged();

    // The end of beginSaveAPIKey / beginRemoveAPIKey; `message` is the key store's error text.
    void apiKeyOperationFinished(sorvane::AgentWritingProvider provider, bool succeeded, const QString &message);
    void agentScreenshotAttachmentCaptured(const QVariant &attachment);
    void agentScreenshotAttachmentFailed(const QString &message);
    void speechModelRemovalFailed(const QString &message);
    void speechModelDownloadFailed(const QString &modelID, const QString &message);
    void writingModelOperationFailed(const QString &modelID, const QString &message);

private:
    // ---- Start-up, settings (AppState.cpp) ----
    void migrateLegacyPreferences();
    void readSettings();
    QCoro::Task<void> loadCloudKeys();
    void applyProviderFallback();
    void updateDerivedValues();
    void connectHotKeyCallbacks();

    // ---- Timed actions (AppStateTimers.cpp) ----
    void tickTranscriptionProgress(SpeechEngine engine);

    // ---- Dictation flow (AppStateDictation.cpp) ----
    // The shortcuts the system refused at their last registration (the window manager
    // often holds Alt+Space), as KeyboardShortcutSetting values for the settings screen.
    Q_PROPERTY(QVariantList refusedShortcuts READ refusedShortcutList NOTIFY refusedShortcutsChanged)
public:
    QSet<KeyboardShortcutSetting> refusedShortcuts() const;
    // A progress report of the speech engine (0 to 1): moves the bar forward, never past
    // 0.97, and only while a transcription runs.
    void reportEngineProgress(double fraction);
Q_SIGNALS:
    void refusedShortcutsChanged();

private:
    QVariantList refusedShortcutList() const;
    void showOverlay();
    // The selected speech model is not on disk: the Models section, the main window.
    void showModelMissing();
    // A running Dictation recording ended by itself (the microphone went away).
    void dictationRecordingFailed(const RecorderError &error);
    // Transcribes, cleans up and finishes one stopped recording; deletes it on every way out.
    QCoro::Task<> transcribeRecording(FinishedRecording recording, SpeechModel model);
    QCoro::Task<QString> smartCleanup(QString transcript);
    QCoro::Task<> finishTranscription(QString text, SpeechModel model, QString audioPath);
    // ---- end of the Dictation flow ----

    // ---- Command flow helpers (AppStateCommand.cpp) ----
    void routeToErrorResolution();
    // A store could not save or set its unreadable file aside: the banner says so.
    void connectStoredFileNotices();
    // Tells the runtime which conversations there are, so it drops the turns of any other.
    void keepStoredConversationsTurns();
    void showStoredFileNotice(const QString &message, ErrorResolutionDestination destination);
    // A new Dictation or Command, or an answer, settles an earlier failure's banner, but
    // not a stored file's notice: that is about the user's files, not the last action,
    // and must stay until the user dismisses it or another failure replaces it.
    void clearActionError();
    QString accessibilityRequirementMessage() const;
    QList<AgentContextAttachment> persist(const QList<AgentContextAttachment> &attachments, const QUuid &conversationID);

    // ---- Command flow (AppStateCommand.cpp, AppStateCommandRun.cpp, AppStateScreenActions.cpp) ----
    QCoro::Task<void> captureAndListen(bool includeScreenshot, std::optional<QUuid> conversationID,
                                       std::optional<QUuid> profileID);
    QCoro::Task<void> transcribeInstruction(QString audioPath, SpeechModel speechModel,
                                            std::optional<QUuid> conversationID,
                                            QList<AgentContextAttachment> attachments, std::optional<QUuid> profileID);
    QCoro::Task<void> runAgent(QString instruction, QUuid conversationID, QList<AgentContextAttachment> attachments,
                               bool isContinuation, std::optional<QUuid> profileID);
    void handleAgentEvent(const QUuid &requestID, const AgentRuntimeEvent &event);
    QCoro::Task<void> deliverAgentAnswer(QString answer, QUuid conversationID, QUuid requestID, bool isContinuation);
    void pasteAgentText(const QString &text);
    QCoro::Task<void> pasteResultInto(std::optional<RunningApplication> application);
    QCoro::Task<void> watchPreferredModelDownload(std::shared_ptr<SpeechModelDownload> download, QString modelID);
    QCoro::Task<void> selectSpeechModelWhenDownloaded(std::shared_ptr<SpeechModelDownload> download, QString modelID,
                                                      QString selectionAtStart);
    QCoro::Task<void> selectWritingModelWhenDownloaded(AgentModelDescriptor model, std::optional<QString> selectionAtStart);
    std::optional<QString> selectedAgentModelID() const;
    void beginAgentProgress();
    void tickAgentProgress();
    void finishAgentProgress(double progress);
    // From the first wait of a Command's start (the capture) until it listens or gives up.
    bool m_agentStarting = false;

    // Services and lazily made members.
    AppStateServices m_services;
    std::map<AgentWritingProvider, CloudAPIKeychainStore> m_cloudKeychains;
    std::unique_ptr<AgentPasteCoordinator> m_agentPaste;
    std::unique_ptr<OverlayPresenter> m_overlayController;
    std::unique_ptr<AgentResultPresenter> m_agentResultController;

    // Published state.
    AppSection m_selectedSection = AppSection::Home;
    SettingsArea m_selectedSettingsArea = SettingsArea::Shortcuts;
    AgentWritingProvider m_selectedAPIKeyProvider = AgentWritingProvider::OpenAI;
    CaptureStatus m_status = CaptureStatus::idle();
    QString m_lastTranscript;
    bool m_lastDictationInserted = false;
    QString m_lastDictationPasteKeyName;
    QString m_targetApplicationName;
    AgentPhase m_agentPhase = AgentPhase::Idle;
    QString m_agentPhaseDetail;
    QString m_agentStreamedText;
    QString m_agentResultText;
    double m_agentProgress = 0;
    std::optional<QUuid> m_activeAgentConversationID;
    bool m_agentResultNeedsPaste = false;
    bool m_agentPanelVisible = false;
    bool m_microphoneGranted = false;
    bool m_accessibilityGranted = false;
    bool m_accessibilityGrantSeen = false;
    bool m_screenRecordingGranted = false;
    int m_permissionAttentionRequest = 0;
    int m_handledPermissionAttentionRequest = 0;
    std::optional<AgentWritingProvider> m_requestedAPIKeyRow;
    std::optional<ErrorResolution> m_errorResolution;
    std::optional<QString> m_pendingPreferredSpeechModelID;
    std::optional<QString> m_preferredSpeechModelDownloadError;
    double m_transcriptionProgress = 0;

    // Settings.
    bool m_onboardingComplete = false;
    QString m_selectedModelID;
    bool m_automaticPaste = true;
    bool m_clipboardRestoreEnabled = false;
    int m_clipboardRestoreDelay = 3;
    bool m_smartDictationEnabled = false;
    OverlayAppearance m_overlayAppearance = OverlayAppearance::Dark;
    OverlaySize m_overlaySize = OverlaySize::Classic;
    CompletionSound m_completionSound = CompletionSound::GlassChime;
    bool m_completionSoundEnabled = true;
    KeyboardShortcutSetting m_toggleShortcut;
    KeyboardShortcutSetting m_pushToTalkShortcut;
    KeyboardShortcutSetting m_cancelShortcut;
    KeyboardShortcutSetting m_agentShortcut;
    KeyboardShortcutSetting m_agentScreenshotShortcut;
    AgentSettings m_agentSettings;
    QStringList m_vocabulary;

    // Cloud keys.
    QSet<AgentWritingProvider> m_configuredCloudProviders;
    QHash<AgentWritingProvider, CloudAPIKeychainError> m_cloudKeyLoadErrors;
    bool m_cloudKeysLoaded = false;
    // Removed while the start-up load ran: what the load read of them is stale.
    QSet<AgentWritingProvider> m_cloudKeysRemovedWhileLoading;
    std::unique_ptr<APIKeyOperations> m_apiKeys;

    // Derived values as last announced.
    struct DerivedValues {
        std::optional<SpeechModel> selectedModel;
        bool canDictate = false;
        std::optional<AgentModelDescriptor> selectedAgentModel;
        QSet<KeyboardShortcutSetting> agentShortcutConflicts;
        bool overlayShowsAgent = false;
    };
    DerivedValues m_derived;

    // Working fields of the flows.
    std::optional<RunningApplication> m_targetApplication;
    std::optional<AgentTargetSnapshot> m_agentTarget;
    QList<AgentContextAttachment> m_agentAttachments;
    std::optional<QUuid> m_agentRecordingConversationID;
    // The conversation the Command in progress works on (see agentWorkingConversationID()).
    std::optional<QUuid> m_agentWorkingConversationID;
    std::optional<QUuid> m_agentRecordingProfileID;
    std::optional<QUuid> m_activeAgentProfileID;
    // What the runtime warned of during the run in hand (a turn it could not keep, a store it
    // set aside): told with its answer or its error.
    QStringList m_agentRunWarnings;
    // The banner of the last stored file's notice (clearActionError keeps it).
    std::optional<QUuid> m_storedFileNoticeID;
    std::optional<QUuid> m_activeAgentRequestID;
    double m_recordingDuration = 0;
    bool m_pushToTalkActive = false;
    bool m_hotKeysSuspended = false;
    std::optional<PermissionAttention> m_permissionAttention;
    QHash<QString, std::shared_ptr<SpeechModelDownload>> m_preferredModelDownloadTasks;

    // Timed actions: one handle each, replaced (and so cancelled) when rescheduled.
    struct PendingClipboardRestore {
        PasteboardSnapshot snapshot;
        qint64 changeCount = 0;
        std::unique_ptr<TimerHandle> task;
    };
    std::unique_ptr<TimerHandle> m_progressTask;
    std::unique_ptr<TimerHandle> m_agentProgressTask;
    std::unique_ptr<TimerHandle> m_overlayHideTask;
    std::unique_ptr<TimerHandle> m_screenRecordingPaneTask;
    std::optional<PendingClipboardRestore> m_pendingClipboardRestore;

    // QML-facing accessors of the properties above.
    QVariant activeAgentConversationIDValue() const;
    QVariant agentWorkingConversationIDValue() const;
    void setActiveAgentConversationIDValue(const QVariant &value);
    QVariant errorResolutionValue() const;
    void setErrorResolutionValue(const QVariant &value);
    QVariant pendingPreferredSpeechModelIDValue() const;
    QVariant preferredSpeechModelDownloadErrorValue() const;
    QVariantList configuredCloudProviderList() const;
    QVariant selectedModelValue() const;
    QVariant selectedAgentModelValue() const;
    QVariantList agentShortcutConflictList() const;
    AudioRecorder *recorderObject() const { return &m_services.recorder; }
    ModelStore *modelStoreObject() const { return &m_services.modelStore; }
    HistoryStore *historyStoreObject() const { return &m_services.historyStore; }
    AgentModelStore *agentModelStoreObject() const { return &m_services.agentModelStore; }
    AgentConversationStore *agentConversationStoreObject() const { return &m_services.agentConversationStore; }
    HotKeyManager *hotKeyObject() const { return &m_services.hotKeys; }
    APIKeyOperations *apiKeysObject() const { return m_apiKeys.get(); }
};

} // namespace sorvane
