#pragma once

#include "AgentWritingProvider.h"
#include "Enumerations.h"
#include "Support/TextEnum.h"

namespace sorvane {

// AgentReasoningEffort is declared in Enumerations.h.

QString toText(AgentReasoningEffort effort);
template <> std::optional<AgentReasoningEffort> fromText<AgentReasoningEffort>(const QString &text);
template <> QList<AgentReasoningEffort> allCases<AgentReasoningEffort>();

// The help text of an effort; only "automatic" depends on the provider.
QString detail(AgentReasoningEffort effort, AgentWritingProvider provider);

} // namespace sorvane
