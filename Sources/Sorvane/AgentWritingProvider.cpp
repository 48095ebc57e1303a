#include "AgentWritingProvider.h"

namespace sorvane {

QString toText(AgentWritingProvider provider)
{
    switch (provider) {
    case AgentWritingProvider::Local: return QStringLiteral("local");
    case AgentWritingProvider::OpenAI: return QStringLiteral("openAI");
    case AgentWritingProvider::Gemini: return QStringLiteral("gemini");
    case AgentWritingProvider::Mistral: return QStringLiteral("mistral");
    }
    return {};
}

std::optional<AgentWritingProvider> agentWritingProviderFromText(const QString &text)
{
    for (AgentWritingProvider provider : allAgentWritingProviders())
        if (toText(provider) == text)
            return provider;
    return std::nullopt;
}

QList<AgentWritingProvider> allAgentWritingProviders()
{
    return {AgentWritingProvider::Local, AgentWritingProvider::OpenAI, AgentWritingProvider::Gemini,
            AgentWritingProvider::Mistral};
}

} // namespace sorvane
