#include "MainWindow/HomeAttention.h"

#include "Services/Command/CloudAPIKeychainStore.h"

namespace sorvane::HomeScreen {

bool speechModelMissing(const AttentionInputs &inputs)
{
    if (inputs.onboardingModelPending && inputs.preferredSpeechModelDownloadError)
        return true;
    if (!inputs.speechModelSelected)
        return true;
    return !inputs.selectedModelFileExists;
}

std::optional<AgentWritingProvider> missingCloudKeyProvider(const AttentionInputs &inputs)
{
    if (!inputs.selectedAgentModelProvider)
        return std::nullopt;
    std::optional<AgentWritingProvider> provider;
    switch (*inputs.selectedAgentModelProvider) {
    case AgentModelProvider::AppleSystem:
    case AgentModelProvider::LlamaCPP:
        return std::nullopt;
    case AgentModelProvider::OpenAI:
        provider = AgentWritingProvider::OpenAI;
        break;
    case AgentModelProvider::Gemini:
        provider = AgentWritingProvider::Gemini;
        break;
    case AgentModelProvider::Mistral:
        provider = AgentWritingProvider::Mistral;
        break;
    }
    if (!provider || inputs.configuredCloudProviders.contains(*provider))
        return std::nullopt;
    return provider;
}

QList<AttentionItem> attentionItems(const AttentionInputs &inputs)
{
    QList<AttentionItem> items;
    // "Revoked" only for a grant this run has seen; a new user was never allowed yet.
    if (!inputs.accessibilityGranted && inputs.accessibilityGrantSeen)
        items.append({QStringLiteral("accessibility"), QStringLiteral("Accessibility access was revoked"),
                      QStringLiteral("Auto-paste is off until you allow it again"), QStringLiteral("Allow"),
                      AttentionAction::AllowAccessibility, std::nullopt});
    else if (!inputs.accessibilityGranted)
        items.append({QStringLiteral("accessibility"), QStringLiteral("Accessibility access is off"),
                      QStringLiteral("Auto-paste is off until you allow it"), QStringLiteral("Allow"),
                      AttentionAction::AllowAccessibility, std::nullopt});
    if (!inputs.microphoneGranted)
        items.append({QStringLiteral("microphone"), QStringLiteral("Microphone access is off"),
                      QStringLiteral("Dictation cannot record"), QStringLiteral("Allow"),
                      AttentionAction::RequestMicrophone, std::nullopt});
    if (speechModelMissing(inputs))
        items.append({QStringLiteral("speech-model"), QStringLiteral("Speech model is missing"),
                      QStringLiteral("Dictation needs a model on this computer"), QStringLiteral("Get"),
                      AttentionAction::ShowModels, std::nullopt});
    if (const auto provider = missingCloudKeyProvider(inputs))
        items.append({QStringLiteral("cloud-key-") + toText(*provider),
                      providerDisplayName(*provider) + QStringLiteral(" key is missing"),
                      QStringLiteral("The selected Command model needs it"), QStringLiteral("Add key"),
                      AttentionAction::AddAPIKey, provider});
    return items;
}

QString readinessLabel(bool canDictate)
{
    return canDictate ? QStringLiteral("Ready") : QStringLiteral("Model needed");
}

QString weeklyMinutesLabel(int minutes)
{
    return QString::number(minutes) + (minutes == 1 ? QStringLiteral(" minute") : QStringLiteral(" minutes"));
}

QString dictationButtonTitle(CaptureStatus::Kind status)
{
    return status == CaptureStatus::Kind::Recording ? QStringLiteral("Finish dictation")
                                                    : QStringLiteral("Start dictation");
}

QString shortcutHeadline(const QString &displayName, bool globalShortcutsAvailable)
{
    return globalShortcutsAvailable ? displayName : QStringLiteral("Shortcuts unavailable");
}

QString commandShortcutValue(const QString &displayName, bool globalShortcutsAvailable)
{
    return globalShortcutsAvailable ? displayName : QStringLiteral("Unavailable");
}

QString promiseLine(bool globalShortcutsAvailable)
{
    return globalShortcutsAvailable
        ? QStringLiteral("Dictate into any app. Nothing leaves this computer.")
        : QStringLiteral("Global shortcuts are unavailable in this Wayland session: start dictation below or "
                         "from the tray menu. Nothing leaves this computer.");
}

} // namespace sorvane::HomeScreen
