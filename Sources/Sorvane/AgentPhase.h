#pragma once

#include "Enumerations.h"
#include "Support/TextEnum.h"

#include <QMetaType>

namespace sorvane {

// AgentPhase is declared in Enumerations.h.

QString toText(AgentPhase phase);
template <> std::optional<AgentPhase> fromText<AgentPhase>(const QString &text);
template <> QList<AgentPhase> allCases<AgentPhase>();

// Listening, transcribing, loading the model and generating: a run is under way
// (and can be cancelled).
bool isRunInFlight(AgentPhase phase);

} // namespace sorvane
