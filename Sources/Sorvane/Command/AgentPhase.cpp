#include "Command/AgentPhase.h"

namespace sorvane {

namespace {
constexpr TextTable<AgentPhase, 8> phases{{
    {AgentPhase::Idle, "idle"},           {AgentPhase::Listening, "listening"},
    {AgentPhase::Transcribing, "transcribing"}, {AgentPhase::LoadingModel, "loadingModel"},
    {AgentPhase::Generating, "generating"}, {AgentPhase::Completed, "completed"},
    {AgentPhase::Cancelled, "cancelled"}, {AgentPhase::Error, "error"}}};
} // namespace

TextEntries<AgentPhase> EnumText<AgentPhase>::table() { return phases; }

bool isRunInFlight(AgentPhase phase)
{
    switch (phase) {
    case AgentPhase::Listening:
    case AgentPhase::Transcribing:
    case AgentPhase::LoadingModel:
    case AgentPhase::Generating:
        return true;
    default:
        return false;
    }
}

} // namespace sorvane
