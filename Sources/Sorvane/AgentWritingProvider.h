#pragma once

#include "Support/TextEnum.h"

namespace sorvane {

// Where Command writes: the local models (on-device or downloaded) or one of the cloud APIs.
// Text values "local", "openAI", "gemini", "mistral".
enum class AgentWritingProvider { Local, OpenAI, Gemini, Mistral };

template <> struct EnumText<AgentWritingProvider> { static TextEntries<AgentWritingProvider> table(); };

} // namespace sorvane
