#pragma once

#include "AgentWritingProvider.h"
#include "Support/TextEnum.h"

namespace sorvane {

// How hard a cloud model should think. Text values, in order: "automatic", "none",
// "minimal", "low", "medium", "high", "xhigh", "max". The "none" case is NoEffort
// because Xlib defines None as a macro.
enum class AgentReasoningEffort { Automatic, NoEffort, Minimal, Low, Medium, High, XHigh, Max };

template <> struct EnumText<AgentReasoningEffort> { static TextEntries<AgentReasoningEffort> table(); };

// The help text of an effort; only "automatic" depends on the provider.
QString detail(AgentReasoningEffort effort, AgentWritingProvider provider);

} // namespace sorvane
