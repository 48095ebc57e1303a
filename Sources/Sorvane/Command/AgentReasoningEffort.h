#pragma once

#include "Command/AgentWritingProvider.h"
#include "Shared/Enumerations.h"
#include "Support/TextEnum.h"

namespace sorvane {

// AgentReasoningEffort is declared in Enumerations.h.

template <> struct EnumText<AgentReasoningEffort> { static TextEntries<AgentReasoningEffort> table(); };

// The help text of an effort; only "automatic" depends on the provider.
QString detail(AgentReasoningEffort effort, AgentWritingProvider provider);

} // namespace sorvane
