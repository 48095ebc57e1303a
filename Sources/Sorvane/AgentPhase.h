#pragma once

#include "Support/TextEnum.h"

#include <QMetaType>

namespace sorvane {

// The state of the Command flow, shared by the application state, the overlay and the
// runtime events. Text values, in order: "idle", "listening", "transcribing",
// "loadingModel", "generating", "completed", "cancelled", "error".
enum class AgentPhase { Idle, Listening, Transcribing, LoadingModel, Generating, Completed, Cancelled, Error };

template <> struct EnumText<AgentPhase> { static TextEntries<AgentPhase> table(); };

// Listening, transcribing, loading the model and generating: a run is under way
// (and can be cancelled).
bool isRunInFlight(AgentPhase phase);

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::AgentPhase)
