#pragma once

#include "Command/AgentConversation.h"
#include "Command/AgentModelDescriptor.h"
#include "Command/AgentPhase.h"
#include "Command/AgentReasoningEffort.h"
#include "Support/TextEnum.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace sorvane {

// The line protocol spoken with the Command runtime (version 1): the application writes
// one request object per line on the runtime's standard input and reads event objects,
// one per line, from its standard output.

// What a request asks. Text values, in order: "run", "continue", "cancel", "list",
// "load", "delete", "shutdown", "forgetTurns", "keepTurns". Of the first seven only "run"
// and "continue" are ever sent. "forgetTurns" removes the kept turns of the conversations
// in conversationIDs (they were deleted); "keepTurns" removes those of every conversation
// not in it (sent at start with every conversation there is). Both name the sessionPath;
// their answers are not waited for.
enum class AgentProtocolCommand { Run, Continue, Cancel, List, Load, Delete, Shutdown, ForgetTurns, KeepTurns };
// What an event reports. Text values, in order: "phase", "delta", "completed",
// "warning", "error", "conversations".
enum class AgentProtocolEventKind { Phase, Delta, Completed, Warning, Error, Conversations };

template <> struct EnumText<AgentProtocolCommand> { static TextEntries<AgentProtocolCommand> table(); };
template <> struct EnumText<AgentProtocolEventKind> { static TextEntries<AgentProtocolEventKind> table(); };

// One request line. Absent optionals are left out of the object, never written as null.
struct AgentRuntimeRequest {
    static constexpr int protocolVersion = 1;

    int version = protocolVersion;
    QUuid requestID;
    AgentProtocolCommand command = AgentProtocolCommand::Run;
    std::optional<QUuid> conversationID;
    std::optional<AgentModelDescriptor> model;
    std::optional<QString> instruction;
    std::optional<QString> trustedInstructions;
    QList<AgentContextAttachment> attachments; // always written, may be empty
    std::optional<QString> modelPath;
    std::optional<QString> projectorPath;
    std::optional<QString> llamaServerPath;
    std::optional<QString> appleBridgePath;
    std::optional<QString> sessionPath;
    std::optional<QString> cloudAPIKey; // travels only here, on the runtime's standard input
    std::optional<QString> personalContext;
    std::optional<AgentReasoningEffort> reasoningEffort;
    std::optional<bool> ephemeralSession; // true: a one-off request kept in no session
    std::optional<QList<QUuid>> conversationIDs; // of "forgetTurns" and "keepTurns"

    friend bool operator==(const AgentRuntimeRequest &, const AgentRuntimeRequest &) = default;

    QJsonObject toJson() const;
    static std::optional<AgentRuntimeRequest> fromJson(const QJsonValue &value);
    // Compact JSON with the keys in field order, and one newline byte.
    QByteArray encodedLine() const;
};

// One event line.
struct AgentRuntimeEvent {
    int version = 1; // read, never checked
    std::optional<QUuid> requestID; // absent for an event about the runtime as a whole
    AgentProtocolEventKind kind = AgentProtocolEventKind::Phase;
    std::optional<AgentPhase> phase;
    std::optional<QString> text;
    std::optional<QString> code;                         // read, never used
    std::optional<QList<AgentConversation>> conversations; // read, never used

    friend bool operator==(const AgentRuntimeEvent &, const AgentRuntimeEvent &) = default;

    QJsonObject toJson() const;
    // Unknown keys are ignored; a missing version or kind, an unknown kind or phase,
    // a malformed id or date, or anything but a JSON object is no event.
    static std::optional<AgentRuntimeEvent> fromJson(const QJsonValue &value);
    // The bytes of one line, without its newline.
    static std::optional<AgentRuntimeEvent> decodedLine(const QByteArray &line);
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::AgentRuntimeEvent)
