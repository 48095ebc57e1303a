// The Dictation flow and the global-shortcut entry points of the application state.

#include "AppState.h"

namespace sorvane {

void AppState::connectHotKeyCallbacks()
{
    // Filled in by the Dictation flow: the seven hot-key callbacks.
}

void AppState::toggleRecording()
{
    // Filled in by the Dictation flow.
}

void AppState::startRecording()
{
    // Filled in by the Dictation flow.
}

void AppState::stopAndTranscribe()
{
    // Filled in by the Dictation flow.
}

void AppState::cancelRecording()
{
    // Filled in by the Dictation flow (cancel of a recording and of an active Command).
}

void AppState::beginPushToTalk()
{
    // Filled in by the Dictation flow.
}

void AppState::endPushToTalk()
{
    // Filled in by the Dictation flow.
}

void AppState::showPermissionError(PermissionAttention)
{
    // Filled in by the Dictation flow.
}

void AppState::toggleAgentRecording(bool, const std::optional<QUuid> &)
{
    // Filled in by the shortcut wiring of the Dictation flow.
}

} // namespace sorvane
