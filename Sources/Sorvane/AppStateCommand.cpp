// The Command flow of the application state, and the operations the screens call
// directly: overlay click, permission requests, onboarding, vocabulary, prompt profiles.

#include "AppState.h"

namespace sorvane {

void AppState::startAgentRecording(bool, const std::optional<QUuid> &, const std::optional<QUuid> &)
{
    // Filled in by the Command flow.
}

void AppState::stopAgentAndRun()
{
    // Filled in by the Command flow.
}

void AppState::runWritingAgent(const QString &, const QUuid &, const QList<AgentContextAttachment> &, bool,
                               const std::optional<QUuid> &)
{
    // Filled in by the Command flow.
}

void AppState::showAgentError(const QString &, const std::optional<ErrorResolutionDestination> &)
{
    // Filled in by the Command flow.
}

void AppState::startAgentFollowUpRecording()
{
    // Filled in by the Command flow.
}

void AppState::submitAgentFollowUp(const QString &, const QList<AgentContextAttachment> &)
{
    // Filled in by the Command flow.
}

QCoro::Task<Result<AgentContextAttachment, QString>> AppState::captureAgentScreenshotAttachment()
{
    // Filled in by the Command flow.
    co_return QStringLiteral("No window to capture.");
}

void AppState::openAgentConversation(const QUuid &)
{
    // Filled in by the Command flow.
}

void AppState::copyAgentResult()
{
    // Filled in by the Command flow.
}

void AppState::pasteAgentResult()
{
    // Filled in by the Command flow.
}

void AppState::handleOverlayTap()
{
    // Filled in by the Command flow (overlay click routing).
}

void AppState::requestMicrophone()
{
    // Filled in by the Command flow (permission requests).
}

void AppState::requestScreenRecording()
{
    // Filled in by the Command flow (permission requests).
}

void AppState::prepareSpeechModelForOnboarding(const SpeechModel &)
{
    // Filled in by the Command flow (onboarding).
}

void AppState::completeOnboarding(const SpeechModel &)
{
    // Filled in by the Command flow (onboarding).
}

void AppState::addVocabulary(const QString &)
{
    // Filled in by the Command flow (vocabulary).
}

void AppState::removeVocabulary(const QString &)
{
    // Filled in by the Command flow (vocabulary).
}

void AppState::addPromptProfile()
{
    // Filled in by the Command flow (prompt profiles).
}

void AppState::removePromptProfile(const QUuid &)
{
    // Filled in by the Command flow (prompt profiles).
}

Result<Done, QString> AppState::removeModel(const SpeechModel &)
{
    // Filled in by the Command flow (speech-model removal).
    return QStringLiteral("The model could not be removed.");
}

} // namespace sorvane
