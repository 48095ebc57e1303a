#include "Command/AgentCommandRules.h"

#include "Command/AgentRuntimeError.h"
#include "Services/Command/AgentCaptureError.h"
#include "Services/Command/CloudAPIKeychainStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace sorvane::AgentCommandRules {

std::optional<Refusal> startRefusal(const StartConditions &c)
{
    if (!c.microphoneGranted)
        return Refusal{QStringLiteral("Microphone access is required."), ErrorResolutionDestination::permissions()};
    if ((c.settings.includeSelectedText || c.settings.automaticPaste) && !c.accessibilityGranted)
        return Refusal{accessibilityRequirementMessage(c.settings.includeSelectedText, c.settings.automaticPaste),
                       ErrorResolutionDestination::permissions()};
    if (!c.model)
        return Refusal{QStringLiteral("Choose a writing model."), ErrorResolutionDestination::commandModels()};
    if (c.includeScreenshot && !c.model->capabilities.images)
        return Refusal{AgentRuntimeError::screenshotsUnsupported().message(),
                       ErrorResolutionDestination::commandModels()};
    if (const auto provider = cloudProvider(c.model->provider); provider && !c.cloudKeyConfigured)
        return Refusal{missingKeyMessage(*provider), ErrorResolutionDestination::apiKeys(*provider)};
    if (!c.modelAvailable)
        return Refusal{QStringLiteral("Download ") + c.model->name + QStringLiteral(" before using it."),
                       ErrorResolutionDestination::commandModels()};
    if (!c.speechModelAvailable)
        return Refusal{AgentRuntimeError::speechModelUnavailable().message(),
                       ErrorResolutionDestination::dictationModels()};
    return std::nullopt;
}

QString accessibilityRequirementMessage(bool includeSelectedText, bool automaticPaste)
{
    if (includeSelectedText && automaticPaste)
        return QStringLiteral("Accessibility access is required for selected-text context and automatic paste.");
    if (includeSelectedText)
        return QStringLiteral("Accessibility access is required to send selected text to Command.");
    if (automaticPaste)
        return QStringLiteral("Accessibility access is required for automatic paste.");
    return QStringLiteral("Accessibility access is not required.");
}

std::optional<AgentWritingProvider> cloudProvider(AgentModelProvider provider)
{
    switch (provider) {
    case AgentModelProvider::OpenAI:
        return AgentWritingProvider::OpenAI;
    case AgentModelProvider::Gemini:
        return AgentWritingProvider::Gemini;
    case AgentModelProvider::Mistral:
        return AgentWritingProvider::Mistral;
    case AgentModelProvider::AppleSystem:
    case AgentModelProvider::LlamaCPP:
        break;
    }
    return std::nullopt;
}

QString missingKeyMessage(AgentWritingProvider provider)
{
    return QStringLiteral("Add your ") + providerDisplayName(provider) + QStringLiteral(" API key before using this model.");
}

QString listeningDetail(const AgentSettings &settings, const std::optional<QUuid> &profileID, bool includeScreenshot)
{
    if (const auto profile = settings.promptProfile(profileID); profile && !profile->name.trimmed().isEmpty())
        return profile->name;
    return includeScreenshot ? QStringLiteral("Window attached") : QStringLiteral("Speak your writing instruction");
}

QString loadingDetail(const AgentModelDescriptor &model)
{
    switch (model.provider) {
    case AgentModelProvider::AppleSystem:
        return QStringLiteral("Checking the on-device model");
    case AgentModelProvider::LlamaCPP:
        return QStringLiteral("Loading ") + model.name;
    case AgentModelProvider::OpenAI:
        return QStringLiteral("Connecting to OpenAI · ") + model.name;
    case AgentModelProvider::Gemini:
        return QStringLiteral("Connecting to Gemini · ") + model.name;
    case AgentModelProvider::Mistral:
        return QStringLiteral("Connecting to Mistral · ") + model.name;
    }
    return model.name;
}

ErrorResolutionDestination captureFailureDestination(const AgentCaptureError &error)
{
    return error.kind() == AgentCaptureError::Kind::ScreenRecordingDenied ? ErrorResolutionDestination::permissions()
                                                                           : ErrorResolutionDestination::commandSettings();
}

namespace {

std::optional<AgentReasoningEffort> reasoningEffort(const AgentSettings &settings, AgentModelProvider provider)
{
    switch (provider) {
    case AgentModelProvider::OpenAI:
        return settings.openAIReasoningEffort;
    case AgentModelProvider::Gemini:
        return settings.geminiReasoningEffort;
    case AgentModelProvider::Mistral:
        return settings.mistralReasoningEffort;
    case AgentModelProvider::AppleSystem:
    case AgentModelProvider::LlamaCPP:
        break;
    }
    return std::nullopt;
}

} // namespace

AgentRuntimeRequest runRequest(const RunInput &input, const AgentModelDescriptor &model, const AgentSettings &settings,
                               const RunLocations &locations)
{
    AgentRuntimeRequest request;
    request.requestID = input.requestID;
    request.command = input.isContinuation ? AgentProtocolCommand::Continue : AgentProtocolCommand::Run;
    request.conversationID = input.conversationID;
    request.model = model;
    request.instruction = input.instruction;
    request.trustedInstructions = settings.composedTrustedInstructions(input.profileID);
    request.attachments = input.attachments;

    const QDir modelFolder(locations.modelFolder);
    if (const auto artifact = model.modelArtifact())
        request.modelPath = modelFolder.filePath(artifact->fileName);
    if (model.capabilities.images)
        if (const auto projector = model.projectorArtifact())
            request.projectorPath = modelFolder.filePath(projector->fileName);

    request.llamaServerPath = locations.llamaServer;
    request.appleBridgePath = locations.appleBridge;
    request.sessionPath = locations.sessions;
    if (cloudProvider(model.provider))
        request.cloudAPIKey = input.cloudKey;
    request.personalContext = settings.personalContext;
    request.reasoningEffort = reasoningEffort(settings, model.provider);
    return request;
}

double progressAfterPhase(double progress, AgentPhase phase)
{
    switch (phase) {
    case AgentPhase::Completed:
        return 1.0;
    case AgentPhase::Generating:
        return std::max(progress, 0.38);
    case AgentPhase::LoadingModel:
        return progress <= 0.08 ? 0.08 : progress;
    default:
        return progress;
    }
}

bool isPendingFile(const QString &path, const QString &pendingFolder)
{
    return QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath() == QFileInfo(pendingFolder).canonicalFilePath()
        && !QFileInfo(pendingFolder).canonicalFilePath().isEmpty();
}

QList<AgentContextAttachment> moveAttachments(const QList<AgentContextAttachment> &attachments, const QString &folder,
                                              const QString &pendingFolder)
{
    const QDir destinationFolder(folder);
    destinationFolder.mkpath(QStringLiteral("."));
    QList<AgentContextAttachment> moved;
    moved.reserve(attachments.size());
    for (AgentContextAttachment attachment : attachments) {
        if (attachment.filePath && isPendingFile(*attachment.filePath, pendingFolder)) {
            const QString source = QFileInfo(*attachment.filePath).absoluteFilePath();
            const QString destination = destinationFolder.absoluteFilePath(QFileInfo(source).fileName());
            if (source != destination)
                QFile::rename(source, destination);
            attachment.filePath = destination;
        }
        moved.append(attachment);
    }
    return moved;
}

} // namespace sorvane::AgentCommandRules
