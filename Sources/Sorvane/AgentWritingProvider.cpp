#include "AgentWritingProvider.h"

namespace sorvane {

namespace {
constexpr TextTable<AgentWritingProvider, 4> providers{{
    {AgentWritingProvider::Local, "local"}, {AgentWritingProvider::OpenAI, "openAI"},
    {AgentWritingProvider::Gemini, "gemini"}, {AgentWritingProvider::Mistral, "mistral"}}};
} // namespace

QString toText(AgentWritingProvider provider) { return toTextTable(providers, provider); }

template <> std::optional<AgentWritingProvider> fromText<AgentWritingProvider>(const QString &text)
{
    return fromTextTable<AgentWritingProvider>(providers, text);
}

template <> QList<AgentWritingProvider> allCases<AgentWritingProvider>()
{
    return casesOfTable<AgentWritingProvider>(providers);
}

} // namespace sorvane
