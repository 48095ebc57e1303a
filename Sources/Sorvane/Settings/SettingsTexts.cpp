#include "Settings/SettingsTexts.h"

#include "Services/Command/CloudAPIKeychainStore.h"

namespace sorvane::SettingsTexts {

QString buildLabel(const QString &shortVersion, const QString &build)
{
    const QString version = shortVersion.trimmed().isEmpty() ? QStringLiteral("\u2014") : shortVersion;
    if (build.trimmed().isEmpty() || build == shortVersion)
        return version;
    return version + QStringLiteral(" (") + build + QStringLiteral(")");
}

QList<AgentWritingProvider> keyProviders()
{
    return {AgentWritingProvider::OpenAI, AgentWritingProvider::Gemini, AgentWritingProvider::Mistral};
}

QString defaultModelID(AgentWritingProvider provider)
{
    switch (provider) {
    case AgentWritingProvider::OpenAI: return QStringLiteral("openai-luna");
    case AgentWritingProvider::Gemini: return QStringLiteral("gemini-flash");
    case AgentWritingProvider::Mistral: return QStringLiteral("mistral-small");
    case AgentWritingProvider::Local: break;
    }
    return {};
}

QString keyRowDetail(AgentWritingProvider provider, bool configured, bool keysLoaded, const QString &loadError)
{
    if (configured)
        return QStringLiteral("Saved in the system keyring \u00b7 ready for Command");
    if (!loadError.isEmpty())
        return loadError;
    if (!keysLoaded)
        return QStringLiteral("Waiting for the system keyring\u2026");
    return QStringLiteral("Required for ") + providerDisplayName(provider) + QStringLiteral(" writing models");
}

QString keyRowButtonTitle(bool open, bool configured)
{
    if (open)
        return QStringLiteral("Close");
    return configured ? QStringLiteral("Replace") : QStringLiteral("Add");
}

QString keyFieldPlaceholder(AgentWritingProvider provider, bool configured)
{
    if (configured)
        return QStringLiteral("Paste a new key to replace the saved key");
    if (provider == AgentWritingProvider::OpenAI)
        return QStringLiteral("Paste your OpenAI API key (sk-\u2026)");
    return QStringLiteral("Paste your ") + providerDisplayName(provider) + QStringLiteral(" API key");
}

QUrl keyManagementPage(AgentWritingProvider provider)
{
    switch (provider) {
    case AgentWritingProvider::OpenAI: return QUrl(QStringLiteral("https://platform.openai.com/api-keys"));
    // Google keeps Gemini's keys in its AI Studio, under a path of its own.
    case AgentWritingProvider::Gemini: return QUrl(QStringLiteral("https://aistudio.google.com/app/apikey"));
    case AgentWritingProvider::Mistral: return QUrl(QStringLiteral("https://console.mistral.ai/api-keys"));
    case AgentWritingProvider::Local: break;
    }
    return {};
}

bool canSaveKey(const QString &draft, bool pending)
{
    return !pending && !draft.trimmed().isEmpty();
}

QString savedMessage(const QString &modelName)
{
    return QStringLiteral("Saved securely. ") + modelName + QStringLiteral(" is now the active Command model.");
}

QString removedMessage() { return QStringLiteral("Removed from the system keyring."); }

QString removalTitle(std::optional<AgentWritingProvider> provider)
{
    const QString name = provider ? providerDisplayName(*provider) : QStringLiteral("cloud");
    return QStringLiteral("Remove the ") + name + QStringLiteral(" API key?");
}

bool accountShowsBanner(const std::optional<ErrorResolution> &resolution)
{
    if (!resolution)
        return false;
    const auto kind = resolution->destination.kind();
    return kind == ErrorResolutionDestination::Kind::ApiKeys || kind == ErrorResolutionDestination::Kind::Permissions;
}

bool behaviourShowsBanner(const std::optional<ErrorResolution> &resolution)
{
    return resolution && resolution->destination.kind() == ErrorResolutionDestination::Kind::CommandSettings;
}

bool savingKeyClearsBanner(const std::optional<ErrorResolution> &resolution)
{
    return resolution && resolution->destination.kind() == ErrorResolutionDestination::Kind::ApiKeys;
}

QString permissionDetail(bool granted)
{
    return granted ? QStringLiteral("Granted") : QStringLiteral("Required for the full workflow");
}

QString updatesDetail(bool configured)
{
    return configured ? QStringLiteral("Sorvane checks once a day and downloads verified updates")
                      : QStringLiteral("The update feed URL still needs to be added for the public release.");
}

} // namespace sorvane::SettingsTexts
