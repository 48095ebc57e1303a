#include "Command/AgentRuntimeError.h"

namespace sorvane {

QString AgentRuntimeError::message() const
{
    switch (m_kind) {
    case Kind::CloudRequestLimitReached:
        return QStringLiteral("Sorvane paused cloud requests after ") + QString::number(m_count) +
               QStringLiteral(" commands in one minute. Wait briefly and try again.");
    case Kind::WritingModelUnavailable:
    case Kind::ModelImportFailed:
        return m_detail;
    case Kind::Busy:
        return QStringLiteral("Command is already working.");
    case Kind::SpeechModelUnavailable:
        return QStringLiteral("Download the selected speech model first.");
    case Kind::ScreenshotsUnsupported:
        return QStringLiteral("Switch to an image-capable model to include a screenshot.");
    case Kind::ScreenRecordingDenied:
        return QStringLiteral("Screen Recording access is required for the screenshot shortcut.");
    case Kind::NoInstruction:
        return QStringLiteral("No instruction was detected.");
    case Kind::ContextTooLarge:
        return QStringLiteral("The selected context is too large for this writing model.");
    case Kind::RuntimeMissing:
        return QStringLiteral("The bundled Command runtime is missing.");
    case Kind::InvalidRuntimeResponse:
        return QStringLiteral("Command returned an invalid response.");
    }
    return {};
}

QString AgentRunFailure::message() const
{
    switch (m_kind) {
    case Kind::Runtime:
        return m_error ? m_error->message() : QString();
    case Kind::Cancelled:
        return QStringLiteral("The Command was cancelled.");
    case Kind::WriteFailed:
        return m_reason;
    }
    return {};
}

} // namespace sorvane
