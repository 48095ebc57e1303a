#pragma once

#include "SorvaneAgent/AgentRequest.h"

#include <QString>
#include <QUrl>
#include <optional>

namespace sorvane::agent {

// The provider's name as users know it: "OpenAI", "Gemini", "Mistral", or the local kinds.
QString providerName(Provider provider);

// The streaming chat-completions address of a cloud provider. Tests point it elsewhere with
// SORVANE_AGENT_OPENAI_BASE_URL, SORVANE_AGENT_GEMINI_BASE_URL or SORVANE_AGENT_MISTRAL_BASE_URL
// (a base such as http://127.0.0.1:8080/v1, to which "/chat/completions" is added).
QUrl chatCompletionsUrl(Provider provider);

// The "reasoning_effort" value the provider accepts for a reasoning-effort text, or nothing
// when none is to be sent ("automatic", an unknown text, or a provider that takes none).
std::optional<QString> providerReasoningEffort(Provider provider, const QString &effort);

} // namespace sorvane::agent
