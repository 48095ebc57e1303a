#pragma once

#include "Support/TextEnum.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <optional>

namespace sorvane {

// Text values "user" and "assistant".
enum class AgentMessageRole { User, Assistant };
// Text values "selectedText" and "screenshot".
enum class AgentAttachmentKind { SelectedText, Screenshot };

template <> struct EnumText<AgentMessageRole> { static TextEntries<AgentMessageRole> table(); };
template <> struct EnumText<AgentAttachmentKind> { static TextEntries<AgentAttachmentKind> table(); };

// The JSON forms below are shared by the conversations file and the runtime protocol:
// keys are the field names, absent optionals are left out, ids are upper-case UUIDs and
// dates whole-second UTC ISO-8601 text. Decoding fails on a missing required key, a
// value of the wrong type or an unknown enumeration text.

// One piece of context sent with an instruction.
// A value type for QML: `id` (text), `isScreenshot`, `displayName`, `text`, `filePath`.
struct AgentContextAttachment {
    Q_GADGET
    Q_PROPERTY(QString id READ idText CONSTANT)
    Q_PROPERTY(bool isScreenshot READ isScreenshot CONSTANT)
    Q_PROPERTY(QString displayName MEMBER displayName CONSTANT)
    Q_PROPERTY(QString text READ textOrEmpty CONSTANT)
    Q_PROPERTY(QString filePath READ filePathOrEmpty CONSTANT)
public:
    QUuid id;
    AgentAttachmentKind kind = AgentAttachmentKind::SelectedText;
    QString displayName;
    std::optional<QString> text;     // selected-text attachments
    std::optional<QString> filePath; // screenshot attachments: absolute path of the PNG file,
                                     // to be used only under the attachments folder
    QDateTime createdAt;

    friend bool operator==(const AgentContextAttachment &, const AgentContextAttachment &) = default;

    QString idText() const { return id.toString(QUuid::WithoutBraces).toUpper(); }
    bool isScreenshot() const { return kind == AgentAttachmentKind::Screenshot; }
    QString textOrEmpty() const { return text.value_or(QString()); }
    QString filePathOrEmpty() const { return filePath.value_or(QString()); }

    QJsonObject toJson() const;
    static std::optional<AgentContextAttachment> fromJson(const QJsonValue &value);
};

// One turn of a conversation; an assistant turn carries no attachments.
struct AgentMessage {
    QUuid id;
    AgentMessageRole role = AgentMessageRole::User;
    QString text;
    QDateTime createdAt;
    QList<AgentContextAttachment> attachments;

    friend bool operator==(const AgentMessage &, const AgentMessage &) = default;

    QJsonObject toJson() const;
    static std::optional<AgentMessage> fromJson(const QJsonValue &value);
};

struct AgentConversation {
    QUuid id; // also names the conversation's attachment folder
    QString title;
    QDateTime createdAt;
    QDateTime updatedAt;
    QString targetApplicationName;
    QList<AgentMessage> messages; // oldest first
    std::optional<QString> lastPastedText;

    friend bool operator==(const AgentConversation &, const AgentConversation &) = default;

    // The text of the last answer; empty when there is none yet.
    QString lastAnswer() const;

    QJsonObject toJson() const;
    static std::optional<AgentConversation> fromJson(const QJsonValue &value);
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::AgentContextAttachment)
Q_DECLARE_METATYPE(sorvane::AgentMessage)
Q_DECLARE_METATYPE(sorvane::AgentConversation)
