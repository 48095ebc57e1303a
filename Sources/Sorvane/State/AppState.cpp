#include "State/AppState.h"


#include "Shared/AppPaths.h"
#include "Platform/PermissionProbe.h"
#include "Platform/SettingsStore.h"
#include "Platform/SoundPlayer.h"
#include "Platform/SystemLinks.h"
#include "Platform/WindowActivation.h"
#include "Services/Command/AgentNotificationService.h"
#include "Services/Command/AgentRuntimeService.h"
#include "Services/Shell/HotKeyManager.h"
#include "Support/StoredJson.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace sorvane {

Q_DECLARE_LOGGING_CATEGORY(lcDictation)

namespace {

AppState *theInstance = nullptr;

// Settings keys, in the order start-up reads them.
const QString onboardingCompleteKey = QStringLiteral("onboardingComplete");
const QString selectedModelIDKey = QStringLiteral("selectedModelID");
const QString automaticPasteKey = QStringLiteral("automaticPaste");
const QString clipboardRestoreEnabledKey = QStringLiteral("clipboardRestoreEnabled");
const QString clipboardRestoreDelayKey = QStringLiteral("clipboardRestoreDelay");
const QString smartDictationKey = QStringLiteral("smartDictation");
const QString overlayAppearanceKey = QStringLiteral("overlayAppearance");
const QString overlaySizeKey = QStringLiteral("overlaySize");
const QString completionSoundKey = QStringLiteral("completionSound");
const QString completionSoundEnabledKey = QStringLiteral("completionSoundEnabled");
const QString toggleShortcutKey = QStringLiteral("toggleShortcut");
const QString pushToTalkShortcutKey = QStringLiteral("pushToTalkShortcut");
const QString cancelShortcutKey = QStringLiteral("cancelShortcut");
const QString finishShortcutKey = QStringLiteral("finishShortcut"); // older key, only read
const QString agentShortcutKey = QStringLiteral("agentShortcut");
const QString agentScreenshotShortcutKey = QStringLiteral("agentScreenshotShortcut");
const QString agentSettingsKey = QStringLiteral("agentSettings");
const QString vocabularyKey = QStringLiteral("vocabulary");

const QString defaultSpeechModelID = QStringLiteral("pocket");

KeyboardShortcutSetting shortcut(quint32 keyCode, const char *label, bool option, bool control, bool shift)
{
    KeyboardShortcutSetting value;
    value.keyCode = keyCode;
    value.keyLabel = QString::fromUtf8(label);
    value.option = option;
    value.control = control;
    value.shift = shift;
    return value;
}

// A "boolean read": a stored Bool, or a number (non-zero is true), or a text that
// starts like "yes", "true" or a non-zero digit; anything else is false.
bool readBoolean(const SettingsStore &store, const QString &key)
{
    const auto stored = store.value(key);
    if (!stored)
        return false;
    if (const auto *flag = std::get_if<bool>(&*stored))
        return *flag;
    if (const auto *number = std::get_if<qint64>(&*stored))
        return *number != 0;
    if (const auto *number = std::get_if<double>(&*stored))
        return *number != 0;
    if (const auto *text = std::get_if<QString>(&*stored)) {
        const QString trimmed = text->trimmed();
        if (trimmed.isEmpty())
            return false;
        const QChar first = trimmed.front().toLower();
        return first == QLatin1Char('y') || first == QLatin1Char('t') || (first >= QLatin1Char('1') && first <= QLatin1Char('9'));
    }
    return false;
}

// The stored object when it is a Bool, else the fallback.
bool readStrictBool(const SettingsStore &store, const QString &key, bool fallback)
{
    return store.boolValue(key).value_or(fallback);
}

// A "string read": a stored text, or a number in its text form.
std::optional<QString> readString(const SettingsStore &store, const QString &key)
{
    const auto stored = store.value(key);
    if (!stored)
        return std::nullopt;
    if (const auto *text = std::get_if<QString>(&*stored))
        return *text;
    if (const auto *number = std::get_if<qint64>(&*stored))
        return QString::number(*number);
    if (const auto *number = std::get_if<double>(&*stored))
        return QString::number(*number);
    return std::nullopt;
}

int clampedDelay(qint64 seconds)
{
    return int(std::clamp<qint64>(seconds, AppState::minimumClipboardRestoreDelay, AppState::maximumClipboardRestoreDelay));
}

bool isCommandActive(AgentPhase phase) { return isRunInFlight(phase); }

const QList<AgentWritingProvider> cloudProviders{AgentWritingProvider::OpenAI, AgentWritingProvider::Gemini,
                                                 AgentWritingProvider::Mistral};

} // namespace

// ---- Construction ----------------------------------------------------------------

AppState::AppState(AppStateServices services, QObject *parent) : QObject(parent), m_services(std::move(services))
{
    if (!theInstance)
        theInstance = this;

    // Published values that are not settings; the permission flags are read now.
    m_microphoneGranted = m_services.permissions.microphoneGranted();
    m_accessibilityGranted = m_services.permissions.accessibilityGranted();
    m_accessibilityGrantSeen = m_accessibilityGranted;
    m_screenRecordingGranted = m_services.permissions.screenRecordingGranted();

    // The stores and services were made by the caller in their order; the key stores
    // come here, in the order openAI, gemini, mistral.
    for (const auto provider : cloudProviders)
        if (auto store = CloudAPIKeychainStore::forProvider(provider, m_services.keyring))
            m_cloudKeychains.emplace(provider, std::move(*store));

    connectStoredFileNotices();
    m_apiKeys = std::make_unique<APIKeyOperations>(*this);
    migrateLegacyPreferences();
    readSettings();
    connectHotKeyCallbacks();

    // A click on the "Command finished" notification opens the conversation that is
    // active at the moment of the click, else brings the main window forward.
    AgentNotificationService &notifications = m_services.notifications;
    notifications.setActiveConversationReader([self = QPointer<AppState>(this)]() -> std::optional<QUuid> {
        return self ? self->m_activeAgentConversationID : std::nullopt;
    });
    connect(&notifications, &AgentNotificationService::openAgentConversationRequested, this,
            qOverload<const QUuid &>(&AppState::openAgentConversation));
    connect(&notifications, &AgentNotificationService::bringMainWindowForwardRequested, this,
            &AppState::bringMainWindowForward);

    // A folder that cannot be prepared leaves the defaults in place.
    (void)AppPaths::prepare();
    AudioRecorder::cleanupTemporaryRecordings();

    // A microphone plugged in is the microphone permission granted, at once.
    connect(&m_services.recorder, &AudioRecorder::inputDevicesChanged, this, &AppState::refreshPermissions);

    // Derived values follow their inputs from here on.
    connect(&m_services.modelStore, &ModelStore::revisionChanged, this, &AppState::updateDerivedValues);
    connect(&m_services.agentModelStore, &AgentModelStore::customModelsChanged, this, &AppState::updateDerivedValues);
    connect(&m_services.agentModelStore, &AgentModelStore::revisionChanged, this, &AppState::updateDerivedValues);
    updateDerivedValues();

    // The keyring may be slow or locked for as long as the user takes to unlock it, so
    // the shortcuts are registered without waiting for it; the provider fallback and a
    // second registration follow when the keys have loaded. A keyring that answers at
    // once has done both before the registration below.
    loadCloudKeys();
    refreshHotKeys();

    // A runtime that cannot start now is started again by the first request. The turns it
    // keeps of conversations deleted while it could not hear of it go once the
    // conversations have been read.
    if (m_services.runtime.ensureProcess()) {
        AgentConversationStore &store = m_services.agentConversationStore;
        if (store.isLoaded())
            keepStoredConversationsTurns();
        else
            connect(&store, &AgentConversationStore::loaded, this, &AppState::keepStoredConversationsTurns,
                    Qt::SingleShotConnection);
    }
}

void AppState::keepStoredConversationsTurns()
{
    // Not while the conversations' file could not be read: they may come back.
    const AgentConversationStore &store = m_services.agentConversationStore;
    if (!store.holdsEveryConversation())
        return;
    QList<QUuid> conversations;
    for (const AgentConversation &conversation : store.conversations())
        conversations.append(conversation.id);
    m_services.runtime.keepTurns(AppPaths::agentSessions(), conversations);
}

AppState::~AppState()
{
    if (theInstance == this)
        theInstance = nullptr;
}

AppState *AppState::instance() { return theInstance; }

// ---- Settings: migration and reading ---------------------------------------------

void AppState::migrateLegacyPreferences()
{
    SettingsStore &target = m_services.settings;
    if (target.boolValue(QString::fromLatin1(migrationFlagKey)).value_or(false))
        return;
    // The earlier product's settings are copied as they are and never changed.
    if (const SettingsStore *legacy = m_services.legacySettings)
        for (const QString &key : legacy->keys())
            if (const auto value = legacy->value(key))
                target.setValue(key, *value);
    target.setValue(QString::fromLatin1(migrationFlagKey), true);
}

void AppState::readSettings()
{
    // Straight into the published storage: reading saves nothing and registers nothing.
    const SettingsStore &store = m_services.settings;
    m_onboardingComplete = readBoolean(store, onboardingCompleteKey);
    m_selectedModelID = readString(store, selectedModelIDKey).value_or(defaultSpeechModelID);
    m_automaticPaste = readStrictBool(store, automaticPasteKey, true);
    m_clipboardRestoreEnabled = readBoolean(store, clipboardRestoreEnabledKey);
    m_clipboardRestoreDelay = clampedDelay(store.integerValue(clipboardRestoreDelayKey).value_or(3));
    m_smartDictationEnabled = readBoolean(store, smartDictationKey);

    const auto readEnum = [&store]<typename Enum>(const QString &key, Enum fallback) {
        return fromText<Enum>(readString(store, key).value_or(QString())).value_or(fallback);
    };
    m_overlayAppearance = readEnum(overlayAppearanceKey, OverlayAppearance::Dark);
    m_overlaySize = readEnum(overlaySizeKey, OverlaySize::Classic);
    m_completionSound = readEnum(completionSoundKey, CompletionSound::GlassChime);
    m_completionSoundEnabled = readStrictBool(store, completionSoundEnabledKey, true);

    m_toggleShortcut = KeyboardShortcutSetting::load(store, toggleShortcutKey, shortcut(49, "Space", true, false, false));
    m_pushToTalkShortcut =
        KeyboardShortcutSetting::load(store, pushToTalkShortcutKey, shortcut(49, "Space", true, true, false));
    const auto finish = KeyboardShortcutSetting::load(store, finishShortcutKey, shortcut(53, "Esc", false, false, false));
    m_cancelShortcut = KeyboardShortcutSetting::load(store, cancelShortcutKey, finish);
    m_agentShortcut = KeyboardShortcutSetting::load(store, agentShortcutKey, shortcut(49, "Space", true, false, true));
    m_agentScreenshotShortcut =
        KeyboardShortcutSetting::load(store, agentScreenshotShortcutKey, shortcut(49, "Space", true, true, true));

    m_agentSettings = AgentSettings::defaults();
    if (const auto bytes = store.bytesValue(agentSettingsKey))
        if (const auto document = storedjson::parseDocument(*bytes); document && document->isObject())
            if (auto decoded = AgentSettings::fromJson(document->object()))
                m_agentSettings = std::move(*decoded);

    m_vocabulary = store.stringListValue(vocabularyKey).value_or(QStringList());
}

// ---- Cloud keys ------------------------------------------------------------------

QCoro::Task<void> AppState::loadCloudKeys()
{
    QPointer<AppState> self(this);
    QSet<AgentWritingProvider> configured;
    QHash<AgentWritingProvider, CloudAPIKeychainError> errors;
    for (const auto provider : cloudProviders) {
        const auto found = m_cloudKeychains.find(provider);
        if (found == m_cloudKeychains.end())
            continue;
        // A copy: the store outlives nothing across the wait but itself.
        const CloudAPIKeychainStore store = found->second;
        // load() reads the current item and, without one, copies the legacy one over.
        const auto loaded = co_await store.load();
        if (!self)
            co_return;
        // A legacy key that fails validation is no key; any other failure is the
        // keyring's (locked, not running) and says nothing about the key.
        if (!loaded && loaded.error().kind() != CloudAPIKeychainError::Kind::InvalidKey)
            errors.insert(provider, loaded.error());
        else if (loaded && loaded.value())
            configured.insert(provider);
    }
    // Keys saved while the keyring was answering count too, and keys removed meanwhile
    // are gone whatever the load read.
    configured.unite(m_configuredCloudProviders);
    configured.subtract(m_cloudKeysRemovedWhileLoading);
    for (const auto provider : std::as_const(m_cloudKeysRemovedWhileLoading))
        errors.remove(provider);
    m_cloudKeysRemovedWhileLoading.clear();
    m_cloudKeyLoadErrors = errors;
    if (configured != m_configuredCloudProviders) {
        m_configuredCloudProviders = configured;
        Q_EMIT configuredCloudProvidersChanged();
    }
    m_cloudKeysLoaded = true;
    Q_EMIT cloudKeysLoadedChanged();
    applyProviderFallback();
    refreshHotKeys();
}

void AppState::applyProviderFallback()
{
    const AgentWritingProvider provider = m_agentSettings.writingProvider;
    if (isAPIKeyConfigured(provider))
        return;
    // A keyring that could not be read is not a missing key: keep the user's choice.
    if (m_cloudKeyLoadErrors.contains(provider))
        return;
    AgentSettings settings = m_agentSettings;
    settings.writingProvider = AgentWritingProvider::Local;
    setAgentSettings(settings);
}

std::optional<CloudAPIKeychainError> AppState::cloudKeyLoadError(AgentWritingProvider provider) const
{
    const auto found = m_cloudKeyLoadErrors.constFind(provider);
    if (found == m_cloudKeyLoadErrors.cend())
        return std::nullopt;
    return *found;
}

const CloudAPIKeychainStore *AppState::cloudKeychain(AgentWritingProvider provider) const
{
    const auto found = m_cloudKeychains.find(provider);
    return found == m_cloudKeychains.end() ? nullptr : &found->second;
}

QCoro::Task<Result<Done, CloudAPIKeychainError>> AppState::saveAPIKey(QString key, AgentWritingProvider provider)
{
    const CloudAPIKeychainStore *found = cloudKeychain(provider);
    if (!found)
        co_return Done{};
    const CloudAPIKeychainStore store = *found;
    QPointer<AppState> self(this);
    auto saved = co_await store.save(key);
    if (!saved || !self)
        co_return saved;
    m_cloudKeyLoadErrors.remove(provider);
    m_cloudKeysRemovedWhileLoading.remove(provider);
    if (!m_configuredCloudProviders.contains(provider)) {
        m_configuredCloudProviders.insert(provider);
        Q_EMIT configuredCloudProvidersChanged();
    }
    co_return saved;
}

QCoro::Task<Result<Done, CloudAPIKeychainError>> AppState::removeAPIKey(AgentWritingProvider provider)
{
    const CloudAPIKeychainStore *found = cloudKeychain(provider);
    if (!found)
        co_return Done{};
    const CloudAPIKeychainStore store = *found;
    QPointer<AppState> self(this);
    auto removed = co_await store.remove();
    if (!removed || !self)
        co_return removed;
    m_cloudKeyLoadErrors.remove(provider);
    if (!m_cloudKeysLoaded)
        m_cloudKeysRemovedWhileLoading.insert(provider);
    if (m_configuredCloudProviders.remove(provider))
        Q_EMIT configuredCloudProvidersChanged();
    if (m_agentSettings.writingProvider == provider) {
        AgentSettings settings = m_agentSettings;
        settings.writingProvider = AgentWritingProvider::Local;
        setAgentSettings(settings);
    }
    co_return removed;
}

void AppState::beginSaveAPIKey(const QString &key, AgentWritingProvider provider)
{
    QPointer<AppState> self(this);
    [](QPointer<AppState> self, QString key, AgentWritingProvider provider) -> QCoro::Task<void> {
        const auto saved = co_await self->saveAPIKey(key, provider);
        if (self)
            Q_EMIT self->apiKeyOperationFinished(provider, saved.ok(), saved.ok() ? QString() : saved.error().message());
    }(self, key, provider);
}

void AppState::beginRemoveAPIKey(AgentWritingProvider provider)
{
    QPointer<AppState> self(this);
    [](QPointer<AppState> self, AgentWritingProvider provider) -> QCoro::Task<void> {
        const auto removed = co_await self->removeAPIKey(provider);
        if (self)
            Q_EMIT self->apiKeyOperationFinished(provider, removed.ok(), removed.ok() ? QString() : removed.error().message());
    }(self, provider);
}

bool AppState::isAPIKeyConfigured(AgentWritingProvider provider) const
{
    return provider == AgentWritingProvider::Local || m_configuredCloudProviders.contains(provider);
}

// ---- Derived values --------------------------------------------------------------

std::optional<SpeechModel> AppState::catalogModel(const QString &id) const
{
    for (const auto &model : m_services.modelStore.catalog())
        if (model.id == id)
            return model;
    return std::nullopt;
}

std::optional<SpeechModel> AppState::selectedModel() const { return catalogModel(m_selectedModelID); }

bool AppState::canDictate() const
{
    const auto model = selectedModel();
    return model && QFileInfo::exists(m_services.modelStore.filePath(*model));
}

std::optional<AgentModelDescriptor> AppState::selectedAgentModel() const
{
    const QString *id = nullptr;
    switch (m_agentSettings.writingProvider) {
    case AgentWritingProvider::Local: id = &m_agentSettings.selectedModelID; break;
    case AgentWritingProvider::OpenAI: id = &m_agentSettings.selectedOpenAIModelID; break;
    case AgentWritingProvider::Gemini: id = &m_agentSettings.selectedGeminiModelID; break;
    case AgentWritingProvider::Mistral: id = &m_agentSettings.selectedMistralModelID; break;
    }
    return m_services.agentModelStore.descriptor(*id);
}

QSet<KeyboardShortcutSetting> AppState::agentShortcutConflicts() const
{
    // The cancel shortcut is left out: it is registered only while nothing else can start.
    QList<KeyboardShortcutSetting> shortcuts{m_toggleShortcut, m_pushToTalkShortcut, m_agentShortcut};
    if (const auto model = selectedAgentModel(); model && model->capabilities.images)
        shortcuts.append(m_agentScreenshotShortcut);
    for (const auto &profile : m_agentSettings.promptProfiles)
        shortcuts.append(profile.shortcut);
    return KeyboardShortcutSetting::conflicts(shortcuts);
}

bool AppState::overlayShowsAgent() const
{
    return m_agentPhase != AgentPhase::Idle && m_status.kind() == CaptureStatus::Kind::Idle;
}

bool AppState::isShortcutConflicting(const KeyboardShortcutSetting &shortcut) const
{
    return m_derived.agentShortcutConflicts.contains(shortcut);
}

void AppState::updateDerivedValues()
{
    DerivedValues now{selectedModel(), canDictate(), selectedAgentModel(), agentShortcutConflicts(), overlayShowsAgent()};
    const DerivedValues before = std::exchange(m_derived, now);
    if (now.selectedModel != before.selectedModel)
        Q_EMIT selectedModelChanged();
    if (now.canDictate != before.canDictate)
        Q_EMIT canDictateChanged();
    if (now.selectedAgentModel != before.selectedAgentModel)
        Q_EMIT selectedAgentModelChanged();
    if (now.agentShortcutConflicts != before.agentShortcutConflicts)
        Q_EMIT agentShortcutConflictsChanged();
    if (now.overlayShowsAgent != before.overlayShowsAgent)
        Q_EMIT overlayShowsAgentChanged();
}

// ---- Shortcut registration -------------------------------------------------------

void AppState::refreshHotKeys()
{
    if (m_hotKeysSuspended)
        return;
    std::optional<KeyboardShortcutSetting> screenshot;
    if (const auto model = selectedAgentModel(); model && model->capabilities.images)
        screenshot = m_agentScreenshotShortcut;
    QList<KeyboardShortcutSetting> profiles;
    for (const auto &profile : m_agentSettings.promptProfiles)
        profiles.append(profile.shortcut);
    HotKeyManager &hotKeys = m_services.hotKeys;
    hotKeys.registerShortcuts(m_toggleShortcut, m_pushToTalkShortcut, m_agentShortcut, screenshot, profiles,
                              m_cancelShortcut);
    if (m_status.kind() == CaptureStatus::Kind::Recording || isCommandActive(m_agentPhase))
        hotKeys.registerCancel();
}

void AppState::setHotKeysSuspended(bool suspended)
{
    const bool changed = m_hotKeysSuspended != suspended;
    m_hotKeysSuspended = suspended;
    m_services.hotKeys.setSuspended(suspended);
    if (!suspended)
        refreshHotKeys();
    if (changed)
        Q_EMIT hotKeysSuspendedChanged();
}

void AppState::toggleAgentRecording(bool includeScreenshot) { toggleAgentRecording(includeScreenshot, std::nullopt); }

void AppState::toggleAgentRecordingForProfile(int index)
{
    if (index < 0 || index >= m_agentSettings.promptProfiles.size())
        return;
    toggleAgentRecording(false, m_agentSettings.promptProfiles.at(index).id);
}

// ---- Permissions -----------------------------------------------------------------

void AppState::refreshPermissions()
{
    // Assigned and announced even when unchanged: the screens re-read the rows.
    m_microphoneGranted = m_services.permissions.microphoneGranted();
    Q_EMIT microphoneGrantedChanged();
    m_accessibilityGranted = m_services.permissions.accessibilityGranted();
    m_accessibilityGrantSeen = m_accessibilityGrantSeen || m_accessibilityGranted;
    Q_EMIT accessibilityGrantedChanged();
    m_screenRecordingGranted = m_services.permissions.screenRecordingGranted();
    Q_EMIT screenRecordingGrantedChanged();
}

void AppState::requestAccessibility() { setAccessibilityGranted(m_services.permissions.requestAccessibility()); }

// ---- Keys settings and windows ---------------------------------------------------

void AppState::openAPIKeySettings(AgentWritingProvider provider)
{
    if (provider == AgentWritingProvider::Local)
        return;
    setSelectedAPIKeyProvider(provider);
    setSelectedSettingsArea(SettingsArea::Account);
    setSelectedSection(AppSection::Settings);
    bringMainWindowForward();
}

void AppState::bringMainWindowForward()
{
    m_services.windows.activateApplication();
    m_services.windows.raiseMainWindow();
}

// ---- Lazily made members ---------------------------------------------------------

AgentPasteCoordinator &AppState::agentPaste()
{
    if (!m_agentPaste)
        m_agentPaste = std::make_unique<AgentPasteCoordinator>(m_services.capture, m_services.clipboard);
    return *m_agentPaste;
}

OverlayPresenter *AppState::overlayController()
{
    if (!m_overlayController && m_services.makeOverlay)
        m_overlayController = m_services.makeOverlay(*this);
    return m_overlayController.get();
}

AgentResultPresenter *AppState::agentResultController()
{
    if (!m_agentResultController && m_services.makeResultPanel)
        m_agentResultController = m_services.makeResultPanel(*this);
    return m_agentResultController.get();
}

// ---- Published state setters -----------------------------------------------------

#define SORVANE_SET(member, value, signal)                                                                              \
    do {                                                                                                               \
        if (member == (value))                                                                                         \
            return;                                                                                                    \
        member = (value);                                                                                              \
        Q_EMIT signal();                                                                                               \
    } while (false)

void AppState::setSelectedSection(AppSection section) { SORVANE_SET(m_selectedSection, section, selectedSectionChanged); }
void AppState::setSelectedSettingsArea(SettingsArea area) { SORVANE_SET(m_selectedSettingsArea, area, selectedSettingsAreaChanged); }
void AppState::setSelectedAPIKeyProvider(AgentWritingProvider provider)
{
    // Each request for a cloud row counts, the same provider again included.
    if (provider != AgentWritingProvider::Local) {
        m_requestedAPIKeyRow = provider;
        Q_EMIT apiKeyRowRequested();
    }
    SORVANE_SET(m_selectedAPIKeyProvider, provider, selectedAPIKeyProviderChanged);
}

QVariant AppState::takeAPIKeyRowRequest()
{
    const auto requested = std::exchange(m_requestedAPIKeyRow, std::nullopt);
    return requested ? QVariant::fromValue(*requested) : QVariant();
}

void AppState::setStatus(const CaptureStatus &status)
{
    if (m_status == status)
        return;
    // Every Dictation failure the user is shown passes here.
    if (status.kind() == CaptureStatus::Kind::Error)
        qCWarning(lcDictation).noquote() << QStringLiteral("A dictation failed: ") + status.text();
    m_status = status;
    Q_EMIT statusChanged();
    updateDerivedValues();
}

void AppState::setLastTranscript(const QString &text) { SORVANE_SET(m_lastTranscript, text, lastTranscriptChanged); }
void AppState::setTargetApplicationName(const QString &name)
{
    SORVANE_SET(m_targetApplicationName, name, targetApplicationNameChanged);
}

void AppState::setAgentPhase(AgentPhase phase)
{
    if (m_agentPhase == phase)
        return;
    m_agentPhase = phase;
    Q_EMIT agentPhaseChanged();
    Q_EMIT agentWorkingConversationIDChanged();
    updateDerivedValues();
}

void AppState::setAgentPhaseDetail(const QString &detail) { SORVANE_SET(m_agentPhaseDetail, detail, agentPhaseDetailChanged); }
void AppState::setAgentStreamedText(const QString &text) { SORVANE_SET(m_agentStreamedText, text, agentStreamedTextChanged); }

void AppState::appendAgentStreamedText(const QString &delta)
{
    if (delta.isEmpty())
        return;
    m_agentStreamedText.append(delta);
    Q_EMIT agentStreamedTextChanged();
}
void AppState::setAgentResultText(const QString &text) { SORVANE_SET(m_agentResultText, text, agentResultTextChanged); }
void AppState::setAgentProgress(double progress) { SORVANE_SET(m_agentProgress, progress, agentProgressChanged); }
void AppState::setActiveAgentConversationID(const std::optional<QUuid> &id)
{
    SORVANE_SET(m_activeAgentConversationID, id, activeAgentConversationIDChanged);
}
void AppState::setAgentResultNeedsPaste(bool needsPaste)
{
    SORVANE_SET(m_agentResultNeedsPaste, needsPaste, agentResultNeedsPasteChanged);
}
void AppState::setAgentPanelVisible(bool visible) { SORVANE_SET(m_agentPanelVisible, visible, agentPanelVisibleChanged); }
void AppState::setMicrophoneGranted(bool granted) { SORVANE_SET(m_microphoneGranted, granted, microphoneGrantedChanged); }
void AppState::setAccessibilityGranted(bool granted)
{
    // Set before the change is announced: readers of the change see it already.
    m_accessibilityGrantSeen = m_accessibilityGrantSeen || granted;
    SORVANE_SET(m_accessibilityGranted, granted, accessibilityGrantedChanged);
}
void AppState::setScreenRecordingGranted(bool granted)
{
    SORVANE_SET(m_screenRecordingGranted, granted, screenRecordingGrantedChanged);
}

void AppState::requestPermissionAttention()
{
    ++m_permissionAttentionRequest;
    Q_EMIT permissionAttentionRequestChanged();
}

bool AppState::takePermissionAttentionRequest()
{
    if (m_permissionAttentionRequest <= m_handledPermissionAttentionRequest)
        return false;
    m_handledPermissionAttentionRequest = m_permissionAttentionRequest;
    return true;
}

void AppState::setErrorResolution(const std::optional<ErrorResolution> &resolution)
{
    SORVANE_SET(m_errorResolution, resolution, errorResolutionChanged);
}

void AppState::connectStoredFileNotices()
{
    // Each store says a run of failed saves once; the next save that works writes
    // everything memory kept meanwhile.
    m_services.settings.setNotice([self = QPointer<AppState>(this)](const QString &message) {
        if (self)
            self->showStoredFileNotice(message, ErrorResolutionDestination::commandSettings());
    });
    connect(&m_services.historyStore, &HistoryStore::fileNotice, this,
            [this](const QString &message) { showStoredFileNotice(message, ErrorResolutionDestination::dictationModels()); });
    connect(&m_services.agentConversationStore, &AgentConversationStore::fileNotice, this,
            [this](const QString &message) { showStoredFileNotice(message, ErrorResolutionDestination::commandSettings()); });
    connect(&m_services.agentModelStore, &AgentModelStore::fileNotice, this,
            [this](const QString &message) { showStoredFileNotice(message, ErrorResolutionDestination::commandModels()); });
}

void AppState::showStoredFileNotice(const QString &message, ErrorResolutionDestination destination)
{
    qWarning().noquote() << message;
    const ErrorResolution notice(message, destination);
    m_storedFileNoticeID = notice.id;
    setErrorResolution(notice);
}

void AppState::clearActionError()
{
    if (m_errorResolution && m_storedFileNoticeID == m_errorResolution->id)
        return;
    setErrorResolution(std::nullopt);
}
void AppState::setPendingPreferredSpeechModelID(const std::optional<QString> &id)
{
    SORVANE_SET(m_pendingPreferredSpeechModelID, id, pendingPreferredSpeechModelIDChanged);
}
void AppState::setPreferredSpeechModelDownloadError(const std::optional<QString> &message)
{
    SORVANE_SET(m_preferredSpeechModelDownloadError, message, preferredSpeechModelDownloadErrorChanged);
}
void AppState::setTranscriptionProgress(double progress)
{
    SORVANE_SET(m_transcriptionProgress, progress, transcriptionProgressChanged);
}

// ---- Settings writers: they run on every assignment, NOTIFY only on a change --------

#define SORVANE_ASSIGN(member, value, signal)                                                                           \
    do {                                                                                                               \
        const bool changed = !(member == (value));                                                                     \
        member = (value);                                                                                              \
        if (changed)                                                                                                   \
            Q_EMIT signal();                                                                                           \
    } while (false)

void AppState::setOnboardingComplete(bool complete)
{
    m_services.settings.setValue(onboardingCompleteKey, complete);
    SORVANE_ASSIGN(m_onboardingComplete, complete, onboardingCompleteChanged);
}

void AppState::setSelectedModelID(const QString &id)
{
    m_services.settings.setValue(selectedModelIDKey, id);
    SORVANE_ASSIGN(m_selectedModelID, id, selectedModelIDChanged);
    if (m_pendingPreferredSpeechModelID && *m_pendingPreferredSpeechModelID != id)
        setPendingPreferredSpeechModelID(std::nullopt);
    updateDerivedValues();
}

void AppState::setAutomaticPaste(bool enabled)
{
    m_services.settings.setValue(automaticPasteKey, enabled);
    SORVANE_ASSIGN(m_automaticPaste, enabled, automaticPasteChanged);
}

void AppState::setClipboardRestoreEnabled(bool enabled)
{
    m_services.settings.setValue(clipboardRestoreEnabledKey, enabled);
    SORVANE_ASSIGN(m_clipboardRestoreEnabled, enabled, clipboardRestoreEnabledChanged);
}

void AppState::setClipboardRestoreDelay(int seconds)
{
    if (seconds < minimumClipboardRestoreDelay || seconds > maximumClipboardRestoreDelay) {
        setClipboardRestoreDelay(clampedDelay(seconds));
        return;
    }
    m_services.settings.setValue(clipboardRestoreDelayKey, qint64(seconds));
    SORVANE_ASSIGN(m_clipboardRestoreDelay, seconds, clipboardRestoreDelayChanged);
}

void AppState::setSmartDictationEnabled(bool enabled)
{
    m_services.settings.setValue(smartDictationKey, enabled);
    SORVANE_ASSIGN(m_smartDictationEnabled, enabled, smartDictationEnabledChanged);
}

void AppState::setOverlayAppearance(OverlayAppearance appearance)
{
    m_services.settings.setValue(overlayAppearanceKey, toText(appearance));
    SORVANE_ASSIGN(m_overlayAppearance, appearance, overlayAppearanceChanged);
}

void AppState::setOverlaySize(OverlaySize size)
{
    m_services.settings.setValue(overlaySizeKey, toText(size));
    SORVANE_ASSIGN(m_overlaySize, size, overlaySizeChanged);
}

void AppState::setCompletionSound(CompletionSound sound)
{
    m_services.settings.setValue(completionSoundKey, toText(sound));
    SORVANE_ASSIGN(m_completionSound, sound, completionSoundChanged);
}

void AppState::setCompletionSoundEnabled(bool enabled)
{
    m_services.settings.setValue(completionSoundEnabledKey, enabled);
    SORVANE_ASSIGN(m_completionSoundEnabled, enabled, completionSoundEnabledChanged);
    if (!enabled)
        m_services.sounds.stop();
}

void AppState::setToggleShortcut(const KeyboardShortcutSetting &value)
{
    value.save(m_services.settings, toggleShortcutKey);
    SORVANE_ASSIGN(m_toggleShortcut, value, toggleShortcutChanged);
    updateDerivedValues();
    refreshHotKeys();
}

void AppState::setPushToTalkShortcut(const KeyboardShortcutSetting &value)
{
    value.save(m_services.settings, pushToTalkShortcutKey);
    SORVANE_ASSIGN(m_pushToTalkShortcut, value, pushToTalkShortcutChanged);
    updateDerivedValues();
    refreshHotKeys();
}

void AppState::setCancelShortcut(const KeyboardShortcutSetting &value)
{
    value.save(m_services.settings, cancelShortcutKey);
    SORVANE_ASSIGN(m_cancelShortcut, value, cancelShortcutChanged);
    updateDerivedValues();
    refreshHotKeys();
}

void AppState::setAgentShortcut(const KeyboardShortcutSetting &value)
{
    value.save(m_services.settings, agentShortcutKey);
    SORVANE_ASSIGN(m_agentShortcut, value, agentShortcutChanged);
    updateDerivedValues();
    refreshHotKeys();
}

void AppState::setAgentScreenshotShortcut(const KeyboardShortcutSetting &value)
{
    value.save(m_services.settings, agentScreenshotShortcutKey);
    SORVANE_ASSIGN(m_agentScreenshotShortcut, value, agentScreenshotShortcutChanged);
    updateDerivedValues();
    refreshHotKeys();
}

void AppState::setAgentSettings(const AgentSettings &settings)
{
    // Encoding a record of plain values cannot fail here, so the record is always stored.
    m_services.settings.setValue(agentSettingsKey, storedjson::encode(settings.toJson()));
    // A profile's name or prompt typed key by key changes no shortcut: the grabs stay.
    auto profileShortcuts = [](const AgentSettings &value) {
        QList<KeyboardShortcutSetting> shortcuts;
        for (const auto &profile : value.promptProfiles)
            shortcuts.append(profile.shortcut);
        return shortcuts;
    };
    const bool shortcutsChanged = profileShortcuts(settings) != profileShortcuts(m_agentSettings);
    const auto screenshotBefore = selectedAgentModel();
    SORVANE_ASSIGN(m_agentSettings, settings, agentSettingsChanged);
    updateDerivedValues();
    const auto screenshotAfter = selectedAgentModel();
    const auto takesImages = [](const auto &model) { return model && model->capabilities.images; };
    if (shortcutsChanged || takesImages(screenshotBefore) != takesImages(screenshotAfter))
        refreshHotKeys();
}

void AppState::setVocabulary(const QStringList &terms)
{
    m_services.settings.setValue(vocabularyKey, terms);
    SORVANE_ASSIGN(m_vocabulary, terms, vocabularyChanged);
}

#undef SORVANE_ASSIGN
#undef SORVANE_SET

// ---- QML-facing accessors and adapters -------------------------------------------

QVariant AppState::activeAgentConversationIDValue() const
{
    return m_activeAgentConversationID ? QVariant(storedjson::uuidText(*m_activeAgentConversationID)) : QVariant::fromValue(nullptr);
}

void AppState::setActiveAgentConversationIDValue(const QVariant &value)
{
    if (value.isNull() || !value.isValid()) {
        setActiveAgentConversationID(std::nullopt);
        return;
    }
    if (const auto id = storedjson::parseUuid(value.toString()))
        setActiveAgentConversationID(*id);
}

QVariant AppState::errorResolutionValue() const
{
    return m_errorResolution ? QVariant::fromValue(*m_errorResolution) : QVariant::fromValue(nullptr);
}

void AppState::setErrorResolutionValue(const QVariant &value)
{
    if (value.canConvert<ErrorResolution>() && value.metaType() == QMetaType::fromType<ErrorResolution>())
        setErrorResolution(value.value<ErrorResolution>());
    else
        setErrorResolution(std::nullopt);
}

QVariant AppState::pendingPreferredSpeechModelIDValue() const
{
    return m_pendingPreferredSpeechModelID ? QVariant(*m_pendingPreferredSpeechModelID) : QVariant::fromValue(nullptr);
}

QVariant AppState::preferredSpeechModelDownloadErrorValue() const
{
    return m_preferredSpeechModelDownloadError ? QVariant(*m_preferredSpeechModelDownloadError) : QVariant::fromValue(nullptr);
}

QVariantList AppState::configuredCloudProviderList() const
{
    QVariantList list;
    for (const auto provider : cloudProviders)
        if (m_configuredCloudProviders.contains(provider))
            list.append(QVariant::fromValue(provider));
    return list;
}

QVariant AppState::selectedModelValue() const
{
    return m_derived.selectedModel ? QVariant::fromValue(*m_derived.selectedModel) : QVariant::fromValue(nullptr);
}

QVariant AppState::selectedAgentModelValue() const
{
    return m_derived.selectedAgentModel ? QVariant::fromValue(*m_derived.selectedAgentModel) : QVariant::fromValue(nullptr);
}

QVariantList AppState::agentShortcutConflictList() const
{
    QList<KeyboardShortcutSetting> conflicts(m_derived.agentShortcutConflicts.begin(),
                                             m_derived.agentShortcutConflicts.end());
    // A stable order for the screens: by their shown name.
    std::sort(conflicts.begin(), conflicts.end(),
              [](const auto &a, const auto &b) { return a.displayName() < b.displayName(); });
    QVariantList list;
    for (const auto &shortcut : conflicts)
        list.append(QVariant::fromValue(shortcut));
    return list;
}

void AppState::submitAgentFollowUp(const QString &text, const QVariantList &attachments)
{
    QList<AgentContextAttachment> list;
    for (const auto &entry : attachments)
        if (entry.metaType() == QMetaType::fromType<AgentContextAttachment>())
            list.append(entry.value<AgentContextAttachment>());
    submitAgentFollowUp(text, list);
}

void AppState::requestAgentScreenshotAttachment()
{
    QPointer<AppState> self(this);
    [](QPointer<AppState> self) -> QCoro::Task<void> {
        const auto captured = co_await self->captureAgentScreenshotAttachment();
        if (!self)
            co_return;
        if (captured)
            Q_EMIT self->agentScreenshotAttachmentCaptured(QVariant::fromValue(captured.value()));
        else
            Q_EMIT self->agentScreenshotAttachmentFailed(captured.error());
    }(self);
}

void AppState::openAgentConversation(const QString &conversationID)
{
    if (const auto id = storedjson::parseUuid(conversationID))
        openAgentConversation(*id);
}

void AppState::prepareSpeechModelForOnboarding(const QString &modelID)
{
    if (const auto model = catalogModel(modelID))
        prepareSpeechModelForOnboarding(*model);
}

void AppState::completeOnboarding(const QString &preferredModelID)
{
    if (const auto model = catalogModel(preferredModelID))
        completeOnboarding(*model);
}

void AppState::removePromptProfile(const QString &profileID)
{
    if (const auto id = storedjson::parseUuid(profileID))
        removePromptProfile(*id);
}

void AppState::removeModel(const QString &modelID)
{
    const auto model = catalogModel(modelID);
    if (!model)
        return;
    if (const auto removed = removeModel(*model); !removed)
        Q_EMIT speechModelRemovalFailed(removed.error());
}

} // namespace sorvane
