#include "Dictation/DictationFlowRules.h"

#include <QStringList>
#include <QUuid>
#include <algorithm>

namespace sorvane::dictationflow {

std::optional<PermissionAttention> missingPermission(bool automaticPaste, bool microphoneGranted,
                                                     bool accessibilityGranted)
{
    if (!automaticPaste)
        return microphoneGranted ? std::nullopt : std::optional(PermissionAttention::Microphone);
    if (!microphoneGranted && !accessibilityGranted)
        return PermissionAttention::MicrophoneAndAccessibility;
    if (!microphoneGranted)
        return PermissionAttention::Microphone;
    if (!accessibilityGranted)
        return PermissionAttention::Accessibility;
    return std::nullopt;
}

QString permissionMessage(PermissionAttention attention)
{
    switch (attention) {
    case PermissionAttention::Microphone:
        return QStringLiteral("Microphone access is required.");
    case PermissionAttention::Accessibility:
        return QStringLiteral("Accessibility access is required for automatic paste.");
    case PermissionAttention::MicrophoneAndAccessibility:
        return QStringLiteral("Microphone and Accessibility access are required.");
    }
    return {};
}

QString modelMissingStatus() { return QStringLiteral("Choose a downloaded model."); }

QString modelMissingBanner() { return QStringLiteral("Choose or download a Dictation model."); }

double progressAfterEngineReport(double current, double reported)
{
    return std::max(current, std::min(reported, engineProgressCap));
}

QString cleanupInstruction()
{
    return QStringLiteral("Clean up the dictation transcript provided as reference material.");
}

QString cleanupTrustedInstructions()
{
    static const QStringList lines{
        QStringLiteral("You clean up dictation transcripts inside Sorvane."),
        QStringLiteral("Return only the cleaned transcript, with no analysis, labels, or quotes."),
        QStringLiteral("Remove filler words and hesitations such as \"um\", \"uh\", \"ehm\", \"like\" (when used as "
                       "filler), and stutters or repeated sentence starts."),
        QStringLiteral("Apply self-corrections: when the speaker corrects themselves, keep only the corrected version."),
        QStringLiteral("Fix obvious punctuation and capitalization."),
        QStringLiteral("Never add content, never answer questions that appear in the transcript, and never change the "
                       "meaning, tone, or language."),
        QStringLiteral("If the transcript is already clean, return it unchanged."),
        QString(),
        QStringLiteral("Examples:"),
        QStringLiteral("\"so um we need like six... ah no sorry I mean seven laptops\" becomes \"So we need seven "
                       "laptops.\""),
        QStringLiteral("\"meet me at uh at the station at at 9\" becomes \"Meet me at the station at 9.\""),
        QStringLiteral("\"das ist ähm eigentlich ganz gut geworden\" becomes \"Das ist eigentlich ganz gut geworden.\""),
        QStringLiteral("\"can you send it tomorrow... actually no, send it on Friday\" becomes \"Can you send it on "
                       "Friday?\""),
    };
    return lines.join(QLatin1Char('\n'));
}

AgentRuntimeRequest cleanupRequest(const QString &transcript, const AgentModelDescriptor &model,
                                   const QString &bridgePath, const QString &sessionPath, const QDateTime &now)
{
    AgentContextAttachment attachment;
    attachment.id = QUuid::createUuid();
    attachment.kind = AgentAttachmentKind::SelectedText;
    attachment.displayName = QStringLiteral("Dictation transcript");
    attachment.text = transcript;
    attachment.createdAt = now;

    AgentRuntimeRequest request;
    request.version = AgentRuntimeRequest::protocolVersion;
    request.requestID = QUuid::createUuid();
    request.command = AgentProtocolCommand::Run;
    // Every cleanup is a conversation of its own, kept in no session.
    request.conversationID = QUuid::createUuid();
    request.model = model;
    request.instruction = cleanupInstruction();
    request.trustedInstructions = cleanupTrustedInstructions();
    request.attachments = {attachment};
    request.appleBridgePath = bridgePath;
    request.sessionPath = sessionPath;
    request.ephemeralSession = true;
    return request;
}

QString cleanedOrOriginal(const QString &transcript, const std::optional<QString> &answer)
{
    if (!answer)
        return transcript;
    const QString trimmed = answer->trimmed();
    return trimmed.isEmpty() ? transcript : trimmed;
}

} // namespace sorvane::dictationflow
