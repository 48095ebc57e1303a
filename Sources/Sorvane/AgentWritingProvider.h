#pragma once

#include "Enumerations.h"
#include "Support/TextEnum.h"

namespace sorvane {

// AgentWritingProvider is declared in Enumerations.h.

QString toText(AgentWritingProvider provider);
template <> std::optional<AgentWritingProvider> fromText<AgentWritingProvider>(const QString &text);
template <> QList<AgentWritingProvider> allCases<AgentWritingProvider>();

} // namespace sorvane
