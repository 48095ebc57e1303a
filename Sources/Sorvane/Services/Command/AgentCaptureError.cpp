#include "Services/Command/AgentCaptureError.h"

namespace sorvane {

QString AgentCaptureError::message() const
{
    switch (m_kind) {
    case Kind::ScreenRecordingDenied:
        return AgentRuntimeError::screenRecordingDenied().message();
    case Kind::NoQualifyingWindow:
        return QStringLiteral("No window of the application in front could be found for the screenshot.");
    case Kind::ImageCaptureFailed:
        return QStringLiteral("The window screenshot could not be taken.");
    case Kind::EncodingFailed:
        return QStringLiteral("The window screenshot could not be saved as a PNG image.");
    case Kind::FolderCreationFailed:
        return QStringLiteral("The screenshot folder could not be created: ") + m_detail;
    case Kind::WriteFailed:
        return QStringLiteral("The screenshot could not be saved: ") + m_detail;
    }
    return {};
}

std::optional<AgentRuntimeError> AgentCaptureError::runtimeError() const
{
    if (m_kind == Kind::ScreenRecordingDenied)
        return AgentRuntimeError::screenRecordingDenied();
    return std::nullopt;
}

} // namespace sorvane
