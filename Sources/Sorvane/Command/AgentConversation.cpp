#include "Command/AgentConversation.h"

#include "Support/StoredJson.h"

#include <QJsonArray>

namespace sorvane {

using storedjson::ObjectReader;

namespace {

constexpr TextTable<AgentMessageRole, 2> roles{{
    {AgentMessageRole::User, "user"}, {AgentMessageRole::Assistant, "assistant"}}};
constexpr TextTable<AgentAttachmentKind, 2> attachmentKinds{{
    {AgentAttachmentKind::SelectedText, "selectedText"}, {AgentAttachmentKind::Screenshot, "screenshot"}}};

} // namespace

TextEntries<AgentMessageRole> EnumText<AgentMessageRole>::table() { return roles; }
TextEntries<AgentAttachmentKind> EnumText<AgentAttachmentKind>::table() { return attachmentKinds; }

QJsonObject AgentContextAttachment::toJson() const
{
    QJsonObject object{{QStringLiteral("id"), storedjson::uuidText(id)},
                       {QStringLiteral("kind"), toText(kind)},
                       {QStringLiteral("displayName"), displayName},
                       {QStringLiteral("createdAt"), storedjson::dateText(createdAt)}};
    if (text)
        object.insert(QStringLiteral("text"), *text);
    if (filePath)
        object.insert(QStringLiteral("filePath"), *filePath);
    return object;
}

std::optional<AgentContextAttachment> AgentContextAttachment::fromJson(const QJsonValue &value)
{
    ObjectReader reader(value);
    AgentContextAttachment attachment;
    attachment.id = reader.uuid(QStringLiteral("id"));
    attachment.kind = reader.enumeration<AgentAttachmentKind>(QStringLiteral("kind"));
    attachment.displayName = reader.string(QStringLiteral("displayName"));
    attachment.text = reader.optionalString(QStringLiteral("text"));
    attachment.filePath = reader.optionalString(QStringLiteral("filePath"));
    attachment.createdAt = reader.date(QStringLiteral("createdAt"));
    if (!reader.ok())
        return std::nullopt;
    return attachment;
}

QJsonObject AgentMessage::toJson() const
{
    return {{QStringLiteral("id"), storedjson::uuidText(id)},
            {QStringLiteral("role"), toText(role)},
            {QStringLiteral("text"), text},
            {QStringLiteral("createdAt"), storedjson::dateText(createdAt)},
            {QStringLiteral("attachments"), storedjson::recordArray(attachments)}};
}

std::optional<AgentMessage> AgentMessage::fromJson(const QJsonValue &value)
{
    ObjectReader reader(value);
    AgentMessage message;
    message.id = reader.uuid(QStringLiteral("id"));
    message.role = reader.enumeration<AgentMessageRole>(QStringLiteral("role"));
    message.text = reader.string(QStringLiteral("text"));
    message.createdAt = reader.date(QStringLiteral("createdAt"));
    message.attachments = reader.records<AgentContextAttachment>(QStringLiteral("attachments"));
    if (!reader.ok())
        return std::nullopt;
    return message;
}

QJsonObject AgentConversation::toJson() const
{
    QJsonObject object{{QStringLiteral("id"), storedjson::uuidText(id)},
                       {QStringLiteral("title"), title},
                       {QStringLiteral("createdAt"), storedjson::dateText(createdAt)},
                       {QStringLiteral("updatedAt"), storedjson::dateText(updatedAt)},
                       {QStringLiteral("targetApplicationName"), targetApplicationName},
                       {QStringLiteral("messages"), storedjson::recordArray(messages)}};
    if (lastPastedText)
        object.insert(QStringLiteral("lastPastedText"), *lastPastedText);
    return object;
}

std::optional<AgentConversation> AgentConversation::fromJson(const QJsonValue &value)
{
    ObjectReader reader(value);
    AgentConversation conversation;
    conversation.id = reader.uuid(QStringLiteral("id"));
    conversation.title = reader.string(QStringLiteral("title"));
    conversation.createdAt = reader.date(QStringLiteral("createdAt"));
    conversation.updatedAt = reader.date(QStringLiteral("updatedAt"));
    conversation.targetApplicationName = reader.string(QStringLiteral("targetApplicationName"));
    conversation.messages = reader.records<AgentMessage>(QStringLiteral("messages"));
    conversation.lastPastedText = reader.optionalString(QStringLiteral("lastPastedText"));
    if (!reader.ok())
        return std::nullopt;
    return conversation;
}

QString AgentConversation::lastAnswer() const
{
    for (auto it = messages.crbegin(); it != messages.crend(); ++it)
        if (it->role == AgentMessageRole::Assistant)
            return it->text;
    return {};
}

} // namespace sorvane
