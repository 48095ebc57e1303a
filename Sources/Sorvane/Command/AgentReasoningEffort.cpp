#include "Command/AgentReasoningEffort.h"

namespace sorvane {

namespace {
constexpr TextTable<AgentReasoningEffort, 8> efforts{{
    {AgentReasoningEffort::Automatic, "automatic"}, {AgentReasoningEffort::NoEffort, "none"},
    {AgentReasoningEffort::Minimal, "minimal"},     {AgentReasoningEffort::Low, "low"},
    {AgentReasoningEffort::Medium, "medium"},       {AgentReasoningEffort::High, "high"},
    {AgentReasoningEffort::XHigh, "xhigh"},         {AgentReasoningEffort::Max, "max"}}};
} // namespace

TextEntries<AgentReasoningEffort> EnumText<AgentReasoningEffort>::table() { return efforts; }

QString detail(AgentReasoningEffort effort, AgentWritingProvider provider)
{
    switch (effort) {
    case AgentReasoningEffort::Automatic:
        switch (provider) {
        case AgentWritingProvider::Local:
            return QStringLiteral("Use the model's default behavior");
        case AgentWritingProvider::OpenAI:
            return QStringLiteral("Low for Luna; Medium for Terra and Sol");
        case AgentWritingProvider::Gemini:
            return QStringLiteral("Use the default thinking level for the selected Gemini model");
        case AgentWritingProvider::Mistral:
            return QStringLiteral("Use Mistral's default reasoning behavior");
        }
        break;
    case AgentReasoningEffort::NoEffort:
    case AgentReasoningEffort::Minimal:
        return QStringLiteral("No extra thinking \u2014 the fastest responses");
    case AgentReasoningEffort::Low:
        return QStringLiteral("A little thinking for everyday commands");
    case AgentReasoningEffort::Medium:
        return QStringLiteral("Balanced thinking, speed, and cost");
    case AgentReasoningEffort::High:
        return QStringLiteral("More thinking for difficult requests");
    case AgentReasoningEffort::XHigh:
        return QStringLiteral("Extended thinking for complex work");
    case AgentReasoningEffort::Max:
        return QStringLiteral("Everything the model has, for the hardest requests");
    }
    return {};
}

} // namespace sorvane
