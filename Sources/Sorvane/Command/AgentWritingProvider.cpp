#include "Command/AgentWritingProvider.h"

namespace sorvane {

namespace {
constexpr TextTable<AgentWritingProvider, 4> providers{{
    {AgentWritingProvider::Local, "local"}, {AgentWritingProvider::OpenAI, "openAI"},
    {AgentWritingProvider::Gemini, "gemini"}, {AgentWritingProvider::Mistral, "mistral"}}};
} // namespace

TextEntries<AgentWritingProvider> EnumText<AgentWritingProvider>::table() { return providers; }

} // namespace sorvane
