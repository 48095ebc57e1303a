#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace sorvane {

// Where Command writes: the local models (on-device or downloaded) or one of the cloud APIs.
enum class AgentWritingProvider { Local, OpenAI, Gemini, Mistral };

// "local", "openAI", "gemini", "mistral"; any other text is no value.
QString toText(AgentWritingProvider provider);
std::optional<AgentWritingProvider> agentWritingProviderFromText(const QString &text);
// Every case, in the order above.
QList<AgentWritingProvider> allAgentWritingProviders();

} // namespace sorvane
