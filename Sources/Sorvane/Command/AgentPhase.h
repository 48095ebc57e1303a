#pragma once

#include "Shared/Enumerations.h"
#include "Support/TextEnum.h"

#include <QMetaType>

namespace sorvane {

// AgentPhase is declared in Enumerations.h.

template <> struct EnumText<AgentPhase> { static TextEntries<AgentPhase> table(); };

// Listening, transcribing, loading the model and generating: a run is under way
// (and can be cancelled).
bool isRunInFlight(AgentPhase phase);

} // namespace sorvane
