#pragma once

#include "Command/AgentRuntimeError.h"

#include <QString>
#include <optional>

namespace sorvane {

// Why a window screenshot could not be attached. Only the first is a matter of
// permission; the others say what went wrong instead of sending the user to a
// permission that is already there.
class AgentCaptureError {
public:
    enum class Kind {
        ScreenRecordingDenied, // AgentRuntimeError::screenRecordingDenied, with its message
        NoQualifyingWindow,
        ImageCaptureFailed,
        EncodingFailed,
        FolderCreationFailed,
        WriteFailed,
    };

    static AgentCaptureError screenRecordingDenied() { return {Kind::ScreenRecordingDenied, {}}; }
    static AgentCaptureError noQualifyingWindow() { return {Kind::NoQualifyingWindow, {}}; }
    static AgentCaptureError imageCaptureFailed() { return {Kind::ImageCaptureFailed, {}}; }
    static AgentCaptureError encodingFailed() { return {Kind::EncodingFailed, {}}; }
    static AgentCaptureError folderCreationFailed(QString folder) { return {Kind::FolderCreationFailed, std::move(folder)}; }
    static AgentCaptureError writeFailed(QString reason) { return {Kind::WriteFailed, std::move(reason)}; }

    Kind kind() const { return m_kind; }
    // The folder that could not be made, or the system's reason a write failed.
    const QString &detail() const { return m_detail; }
    // What the user is shown.
    QString message() const;
    // The Command error this is, for the one case that has one.
    std::optional<AgentRuntimeError> runtimeError() const;

    friend bool operator==(const AgentCaptureError &, const AgentCaptureError &) = default;

private:
    AgentCaptureError(Kind kind, QString detail) : m_kind(kind), m_detail(std::move(detail)) {}
    Kind m_kind;
    QString m_detail;
};

} // namespace sorvane
