#pragma once

#include "Shared/Enumerations.h"
#include "Support/TextEnum.h"

namespace sorvane {

// AgentWritingProvider is declared in Enumerations.h.

template <> struct EnumText<AgentWritingProvider> { static TextEntries<AgentWritingProvider> table(); };

} // namespace sorvane
