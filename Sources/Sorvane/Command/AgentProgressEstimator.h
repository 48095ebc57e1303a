#pragma once

#include "Command/AgentPhase.h"

namespace sorvane::AgentProgressEstimator {

// The synthetic progress of a run: it approaches 0.32 while the model loads and 0.98
// while it generates, in ever smaller steps, and never passes the target (a value above
// it falls back to it). Other phases leave the progress as it is.
double tick(double progress, AgentPhase phase);

// Progress after a streamed piece of the answer of that many user-perceived characters;
// the first piece lifts it to at least 0.402.
double receivedDelta(double progress, int characterCount);

} // namespace sorvane::AgentProgressEstimator
