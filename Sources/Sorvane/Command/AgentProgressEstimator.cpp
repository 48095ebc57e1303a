#include "Command/AgentProgressEstimator.h"

#include <algorithm>

namespace sorvane::AgentProgressEstimator {

namespace {
double approach(double progress, double target, double factor, double leastStep)
{
    const double remaining = target - progress;
    const double proportional = remaining * factor;
    const double step = remaining >= 0 && proportional >= leastStep ? proportional : leastStep;
    return std::min(progress + step, target);
}
} // namespace

double tick(double progress, AgentPhase phase)
{
    switch (phase) {
    case AgentPhase::Generating:
        return progress >= 0.9 ? approach(progress, 0.98, 0.01, 0.0005) : approach(progress, 0.98, 0.018, 0.002);
    case AgentPhase::LoadingModel:
        return approach(progress, 0.32, 0.05, 0.004);
    default:
        return progress;
    }
}

double receivedDelta(double progress, int characterCount)
{
    const double increment = std::clamp(characterCount * 0.0004, 0.002, 0.012);
    const double base = progress > 0.4 ? progress : 0.4;
    return std::min(base + increment, 0.98);
}

} // namespace sorvane::AgentProgressEstimator
