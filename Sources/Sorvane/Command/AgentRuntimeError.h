#pragma once

#include <QMetaType>
#include <QString>
#include <optional>

namespace sorvane {

// The Command failures, each with the message the user sees.
class AgentRuntimeError {
public:
    enum class Kind {
        CloudRequestLimitReached,
        WritingModelUnavailable,
        ModelImportFailed,
        Busy,
        SpeechModelUnavailable,
        ScreenshotsUnsupported,
        ScreenRecordingDenied,
        NoInstruction,
        ContextTooLarge,
        RuntimeMissing,
        InvalidRuntimeResponse,
    };

    static AgentRuntimeError cloudRequestLimitReached(int count) { return {Kind::CloudRequestLimitReached, count, {}}; }
    static AgentRuntimeError writingModelUnavailable(QString message) { return {Kind::WritingModelUnavailable, 0, std::move(message)}; }
    static AgentRuntimeError modelImportFailed(QString message) { return {Kind::ModelImportFailed, 0, std::move(message)}; }
    static AgentRuntimeError busy() { return {Kind::Busy, 0, {}}; }
    static AgentRuntimeError speechModelUnavailable() { return {Kind::SpeechModelUnavailable, 0, {}}; }
    static AgentRuntimeError screenshotsUnsupported() { return {Kind::ScreenshotsUnsupported, 0, {}}; }
    static AgentRuntimeError screenRecordingDenied() { return {Kind::ScreenRecordingDenied, 0, {}}; }
    static AgentRuntimeError noInstruction() { return {Kind::NoInstruction, 0, {}}; }
    static AgentRuntimeError contextTooLarge() { return {Kind::ContextTooLarge, 0, {}}; }
    static AgentRuntimeError runtimeMissing() { return {Kind::RuntimeMissing, 0, {}}; }
    static AgentRuntimeError invalidRuntimeResponse() { return {Kind::InvalidRuntimeResponse, 0, {}}; }

    Kind kind() const { return m_kind; }
    // The request count of cloudRequestLimitReached; 0 otherwise.
    int count() const { return m_count; }
    // The message carried by writingModelUnavailable and modelImportFailed; empty otherwise.
    const QString &detail() const { return m_detail; }
    // What the user is shown.
    QString message() const;

    friend bool operator==(const AgentRuntimeError &, const AgentRuntimeError &) = default;

private:
    AgentRuntimeError(Kind kind, int count, QString detail) : m_kind(kind), m_count(count), m_detail(std::move(detail)) {}
    Kind m_kind;
    int m_count;
    QString m_detail;
};

// What a run of the Command runtime ends with when it yields no answer: a Command
// failure, the caller's own cancel, or the system's reason when the request line
// could not be handed to the runtime.
class AgentRunFailure {
public:
    enum class Kind { Runtime, Cancelled, WriteFailed };

    AgentRunFailure(AgentRuntimeError error) : m_kind(Kind::Runtime), m_error(std::move(error)) {}
    static AgentRunFailure cancelled() { return AgentRunFailure(Kind::Cancelled, {}); }
    static AgentRunFailure writeFailed(QString reason) { return AgentRunFailure(Kind::WriteFailed, std::move(reason)); }

    Kind kind() const { return m_kind; }
    bool isCancelled() const { return m_kind == Kind::Cancelled; }
    // The Command failure, for Kind::Runtime.
    const std::optional<AgentRuntimeError> &runtimeError() const { return m_error; }
    // What a caller that shows the failure shows.
    QString message() const;

    friend bool operator==(const AgentRunFailure &, const AgentRunFailure &) = default;

private:
    AgentRunFailure(Kind kind, QString reason) : m_kind(kind), m_reason(std::move(reason)) {}
    Kind m_kind;
    std::optional<AgentRuntimeError> m_error;
    QString m_reason;
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::AgentRuntimeError)
