// The operations the screens call directly: the overlay click that leads to where an
// error is fixed, the permission requests, onboarding's speech model, the vocabulary
// and the prompt profiles, and the removal of a speech model.

#include "State/AppState.h"
#include "MainWindow/Vocabulary.h"

#include "Platform/PermissionProbe.h"
#include "Platform/SystemLinks.h"
#include "Platform/Timers.h"

#include <QPointer>

#include <algorithm>

namespace sorvane {

namespace {

constexpr std::chrono::milliseconds screenRecordingPaneDelay{400};
const QString bundledSpeechModelID = QStringLiteral("pocket");

// Alt+Ctrl+1 ... Alt+Ctrl+5, offered to new prompt profiles in this order.
QList<KeyboardShortcutSetting> profileShortcutCandidates()
{
    const std::pair<quint32, const char *> keys[] = {{18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {23, "5"}};
    QList<KeyboardShortcutSetting> candidates;
    for (const auto &[code, label] : keys) {
        KeyboardShortcutSetting shortcut;
        shortcut.keyCode = code;
        shortcut.keyLabel = QString::fromLatin1(label);
        shortcut.option = true;
        shortcut.control = true;
        candidates.append(shortcut);
    }
    return candidates;
}

} // namespace

void AppState::handleOverlayTap()
{
    if (!m_errorResolution)
        return;
    cancelOverlayHide();
    routeToErrorResolution();
    hideOverlayNow();
    if (m_permissionAttention) {
        setStatus(CaptureStatus::idle());
        m_permissionAttention.reset();
    }
}

void AppState::routeToErrorResolution()
{
    if (!m_errorResolution)
        return;
    const ErrorResolutionDestination destination = m_errorResolution->destination;
    switch (destination.kind()) {
    case ErrorResolutionDestination::Kind::ApiKeys:
        setSelectedAPIKeyProvider(destination.provider());
        setSelectedSettingsArea(SettingsArea::Account);
        setSelectedSection(AppSection::Settings);
        break;
    case ErrorResolutionDestination::Kind::DictationModels:
    case ErrorResolutionDestination::Kind::CommandModels:
        setSelectedSection(AppSection::Models);
        break;
    case ErrorResolutionDestination::Kind::CommandSettings:
        setSelectedSettingsArea(SettingsArea::Behaviour);
        setSelectedSection(AppSection::Settings);
        break;
    case ErrorResolutionDestination::Kind::Permissions:
        requestPermissionAttention();
        setSelectedSettingsArea(SettingsArea::Account);
        setSelectedSection(AppSection::Settings);
        break;
    }
    bringMainWindowForward();
}

void AppState::requestMicrophone()
{
    setMicrophoneGranted(m_services.permissions.requestMicrophone());
    if (!m_microphoneGranted)
        m_services.links.open(SystemLinks::Page::Microphone);
}

void AppState::requestScreenRecording()
{
    setScreenRecordingGranted(m_services.permissions.requestScreenRecording());
    if (m_screenRecordingGranted)
        return;
    m_screenRecordingPaneTask = timers().start(screenRecordingPaneDelay, [this] {
        m_services.links.open(SystemLinks::Page::ScreenRecording);
    });
}

void AppState::prepareSpeechModelForOnboarding(const SpeechModel &model)
{
    setPreferredSpeechModelDownloadError(std::nullopt);
    if (modelStore().isPresent(model)) {
        setPendingPreferredSpeechModelID(std::nullopt);
        return;
    }
    setPendingPreferredSpeechModelID(model.id);
    if (m_preferredModelDownloadTasks.contains(model.id))
        return;
    const std::shared_ptr<SpeechModelDownload> download = modelStore().startDownload(model);
    // Kept before the watch begins: a download that has already ended is over at once.
    m_preferredModelDownloadTasks.insert(model.id, download);
    watchPreferredModelDownload(download, model.id);
}

QCoro::Task<void> AppState::watchPreferredModelDownload(std::shared_ptr<SpeechModelDownload> download, QString modelID)
{
    const QPointer<AppState> self(this);
    auto waiting = SpeechModelDownload::wait(download);
    const auto outcome = co_await std::move(waiting);
    if (!self)
        co_return;
    // A model the user chose meanwhile cleared the pending id and is never overridden.
    if (m_pendingPreferredSpeechModelID == modelID) {
        if (outcome) {
            setSelectedModelID(modelID);
            setPendingPreferredSpeechModelID(std::nullopt);
        } else {
            setPreferredSpeechModelDownloadError(outcome.error().message());
        }
    }
    m_preferredModelDownloadTasks.remove(modelID);
}

void AppState::completeOnboarding(const SpeechModel &preferredModel)
{
    if (modelStore().isPresent(preferredModel)) {
        setSelectedModelID(preferredModel.id);
        setPendingPreferredSpeechModelID(std::nullopt);
        setPreferredSpeechModelDownloadError(std::nullopt);
    } else {
        prepareSpeechModelForOnboarding(preferredModel);
    }
    setOnboardingComplete(true);
    setSelectedSection(AppSection::Home);
}

void AppState::addVocabulary(const QString &term)
{
    // Stored once, in its sorted place: a list published with the new term at its end
    // first would draw it out of order for a moment.
    if (const auto terms = Vocabulary::adding(m_vocabulary, term))
        setVocabulary(*terms);
}

void AppState::removeVocabulary(const QString &term)
{
    setVocabulary(Vocabulary::removing(m_vocabulary, term));
}

void AppState::addPromptProfile()
{
    AgentSettings settings = m_agentSettings;
    const qsizetype count = settings.promptProfiles.size();
    if (count >= maximumPromptProfiles)
        return;
    QSet<KeyboardShortcutSetting> used;
    for (const AgentPromptProfile &profile : settings.promptProfiles)
        used.insert(profile.shortcut);
    const QList<KeyboardShortcutSetting> candidates = profileShortcutCandidates();
    const auto free = std::find_if(candidates.cbegin(), candidates.cend(),
                                   [&](const KeyboardShortcutSetting &shortcut) { return !used.contains(shortcut); });
    const KeyboardShortcutSetting shortcut = free != candidates.cend() ? *free : candidates.at(count);
    settings.promptProfiles.append(AgentPromptProfile{QUuid::createUuid(),
                                                      QStringLiteral("Profile ") + QString::number(count + 1),
                                                      QString(), shortcut});
    setAgentSettings(settings);
}

void AppState::removePromptProfile(const QUuid &profileID)
{
    AgentSettings settings = m_agentSettings;
    settings.promptProfiles.removeIf([&](const AgentPromptProfile &profile) { return profile.id == profileID; });
    setAgentSettings(settings);
    if (m_activeAgentProfileID == profileID)
        m_activeAgentProfileID.reset();
    if (m_agentRecordingProfileID == profileID)
        m_agentRecordingProfileID.reset();
}

Result<Done, QString> AppState::removeModel(const SpeechModel &model)
{
    // The bundled model ships with the program and is never removed.
    if (model.id == bundledSpeechModelID)
        return Done{};
    // Deleted first: a file that stays keeps its choice too.
    const Result<Done, QString> deleted = modelStore().deleteModel(model);
    if (deleted && m_selectedModelID == model.id)
        setSelectedModelID(bundledSpeechModelID);
    return deleted;
}

} // namespace sorvane
