#include "Command/AgentRuntimeProtocol.h"

#include "Support/StoredJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace sorvane {

using storedjson::ObjectReader;

namespace {

constexpr TextTable<AgentProtocolCommand, 9> commands{{
    {AgentProtocolCommand::Run, "run"},
    {AgentProtocolCommand::Continue, "continue"},
    {AgentProtocolCommand::Cancel, "cancel"},
    {AgentProtocolCommand::List, "list"},
    {AgentProtocolCommand::Load, "load"},
    {AgentProtocolCommand::Delete, "delete"},
    {AgentProtocolCommand::Shutdown, "shutdown"},
    {AgentProtocolCommand::ForgetTurns, "forgetTurns"},
    {AgentProtocolCommand::KeepTurns, "keepTurns"},
}};

constexpr TextTable<AgentProtocolEventKind, 6> eventKinds{{
    {AgentProtocolEventKind::Phase, "phase"},
    {AgentProtocolEventKind::Delta, "delta"},
    {AgentProtocolEventKind::Completed, "completed"},
    {AgentProtocolEventKind::Warning, "warning"},
    {AgentProtocolEventKind::Error, "error"},
    {AgentProtocolEventKind::Conversations, "conversations"},
}};

// The compact JSON text of any value (QJsonDocument only writes objects and arrays).
QByteArray jsonText(const QJsonValue &value)
{
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

} // namespace

TextEntries<AgentProtocolCommand> EnumText<AgentProtocolCommand>::table() { return commands; }
TextEntries<AgentProtocolEventKind> EnumText<AgentProtocolEventKind>::table() { return eventKinds; }

namespace {

// The request's keys and values in field order; absent optionals are not listed.
QList<std::pair<QString, QJsonValue>> requestFields(const AgentRuntimeRequest &r)
{
    QList<std::pair<QString, QJsonValue>> fields;
    const auto add = [&](const char *key, const QJsonValue &value) { fields.append({QLatin1String(key), value}); };
    const auto addText = [&](const char *key, const std::optional<QString> &value) {
        if (value)
            add(key, *value);
    };
    add("version", r.version);
    add("requestID", storedjson::uuidText(r.requestID));
    add("command", toText(r.command));
    if (r.conversationID)
        add("conversationID", storedjson::uuidText(*r.conversationID));
    if (r.model)
        add("model", r.model->toJson());
    addText("instruction", r.instruction);
    addText("trustedInstructions", r.trustedInstructions);
    add("attachments", storedjson::recordArray(r.attachments));
    addText("modelPath", r.modelPath);
    addText("projectorPath", r.projectorPath);
    addText("llamaServerPath", r.llamaServerPath);
    addText("appleBridgePath", r.appleBridgePath);
    addText("sessionPath", r.sessionPath);
    addText("cloudAPIKey", r.cloudAPIKey);
    addText("personalContext", r.personalContext);
    if (r.reasoningEffort)
        add("reasoningEffort", toText(*r.reasoningEffort));
    if (r.ephemeralSession)
        add("ephemeralSession", *r.ephemeralSession);
    if (r.conversationIDs) {
        QJsonArray ids;
        for (const QUuid &id : *r.conversationIDs)
            ids.append(storedjson::uuidText(id));
        add("conversationIDs", ids);
    }
    return fields;
}

} // namespace

QJsonObject AgentRuntimeRequest::toJson() const
{
    QJsonObject object;
    for (const auto &[key, value] : requestFields(*this))
        object.insert(key, value);
    return object;
}

QByteArray AgentRuntimeRequest::encodedLine() const
{
    // Written by hand so that the keys keep their field order (QJsonObject sorts them).
    QByteArray line = "{";
    bool first = true;
    for (const auto &[key, value] : requestFields(*this)) {
        if (!first)
            line += ',';
        first = false;
        line += jsonText(key) + ':' + jsonText(value);
    }
    line += "}\n";
    return line;
}

std::optional<AgentRuntimeRequest> AgentRuntimeRequest::fromJson(const QJsonValue &value)
{
    ObjectReader reader(value);
    AgentRuntimeRequest r;
    r.version = int(reader.integer(QStringLiteral("version")));
    r.requestID = reader.uuid(QStringLiteral("requestID"));
    r.command = reader.enumeration<AgentProtocolCommand>(QStringLiteral("command"));
    r.conversationID = reader.optionalUuid(QStringLiteral("conversationID"));
    if (const auto model = reader.optionalObject(QStringLiteral("model"))) {
        r.model = AgentModelDescriptor::fromJson(*model);
        if (!r.model)
            reader.fail(QStringLiteral("model"));
    }
    r.instruction = reader.optionalString(QStringLiteral("instruction"));
    r.trustedInstructions = reader.optionalString(QStringLiteral("trustedInstructions"));
    r.attachments = reader.records<AgentContextAttachment>(QStringLiteral("attachments"));
    r.modelPath = reader.optionalString(QStringLiteral("modelPath"));
    r.projectorPath = reader.optionalString(QStringLiteral("projectorPath"));
    r.llamaServerPath = reader.optionalString(QStringLiteral("llamaServerPath"));
    r.appleBridgePath = reader.optionalString(QStringLiteral("appleBridgePath"));
    r.sessionPath = reader.optionalString(QStringLiteral("sessionPath"));
    r.cloudAPIKey = reader.optionalString(QStringLiteral("cloudAPIKey"));
    r.personalContext = reader.optionalString(QStringLiteral("personalContext"));
    r.reasoningEffort =
        reader.optionalEnumeration<AgentReasoningEffort>(QStringLiteral("reasoningEffort"));
    r.ephemeralSession = reader.optionalBoolean(QStringLiteral("ephemeralSession"));
    if (const QJsonValue ids = value.toObject().value(QStringLiteral("conversationIDs")); !ids.isUndefined()) {
        QList<QUuid> read;
        for (const QJsonValue &id : ids.toArray()) {
            const auto parsed = storedjson::parseUuid(id.toString());
            if (!parsed)
                return std::nullopt;
            read.append(*parsed);
        }
        if (!ids.isArray())
            return std::nullopt;
        r.conversationIDs = read;
    }
    if (!reader.ok())
        return std::nullopt;
    return r;
}

QJsonObject AgentRuntimeEvent::toJson() const
{
    QJsonObject object{{QStringLiteral("version"), version}, {QStringLiteral("kind"), toText(kind)}};
    if (requestID)
        object.insert(QStringLiteral("requestID"), storedjson::uuidText(*requestID));
    if (phase)
        object.insert(QStringLiteral("phase"), toText(*phase));
    if (text)
        object.insert(QStringLiteral("text"), *text);
    if (code)
        object.insert(QStringLiteral("code"), *code);
    if (conversations)
        object.insert(QStringLiteral("conversations"), storedjson::recordArray(*conversations));
    return object;
}

std::optional<AgentRuntimeEvent> AgentRuntimeEvent::fromJson(const QJsonValue &value)
{
    ObjectReader reader(value);
    AgentRuntimeEvent event;
    event.version = int(reader.integer(QStringLiteral("version")));
    event.requestID = reader.optionalUuid(QStringLiteral("requestID"));
    event.kind = reader.enumeration<AgentProtocolEventKind>(QStringLiteral("kind"));
    event.phase = reader.optionalEnumeration<AgentPhase>(QStringLiteral("phase"));
    event.text = reader.optionalString(QStringLiteral("text"));
    event.code = reader.optionalString(QStringLiteral("code"));
    event.conversations = reader.optionalRecords<AgentConversation>(QStringLiteral("conversations"));
    if (!reader.ok())
        return std::nullopt;
    return event;
}

std::optional<AgentRuntimeEvent> AgentRuntimeEvent::decodedLine(const QByteArray &line)
{
    const auto document = storedjson::parseDocument(line);
    if (!document || !document->isObject())
        return std::nullopt;
    return fromJson(document->object());
}

} // namespace sorvane
