#include "AgentPhase.h"

namespace sorvane {

namespace {
constexpr TextTable<AgentPhase, 8> phases{{
    {AgentPhase::Idle, "idle"},           {AgentPhase::Listening, "listening"},
    {AgentPhase::Transcribing, "transcribing"}, {AgentPhase::LoadingModel, "loadingModel"},
    {AgentPhase::Generating, "generating"}, {AgentPhase::Completed, "completed"},
    {AgentPhase::Cancelled, "cancelled"}, {AgentPhase::Error, "error"}}};
} // namespace

QString toText(AgentPhase phase) { return toTextTable(phases, phase); }

template <> std::optional<AgentPhase> fromText<AgentPhase>(const QString &text)
{
    return fromTextTable<AgentPhase>(phases, text);
}

template <> QList<AgentPhase> allCases<AgentPhase>() { return casesOfTable<AgentPhase>(phases); }

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
