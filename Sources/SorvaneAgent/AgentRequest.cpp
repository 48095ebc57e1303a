#include "SorvaneAgent/AgentRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace sorvane::agent {

namespace {

std::variant<AgentRequest, RequestProblem> problem(QString message, QString requestID = {})
{
    return RequestProblem{std::move(message), std::move(requestID)};
}

std::optional<Provider> providerFromText(const QString &text)
{
    static const std::pair<const char *, Provider> names[] = {
        {"appleSystem", Provider::AppleSystem}, {"llamaCPP", Provider::LlamaCpp}, {"openAI", Provider::OpenAI},
        {"gemini", Provider::Gemini},           {"mistral", Provider::Mistral},
    };
    for (const auto &[name, provider] : names) {
        if (text == QLatin1String(name))
            return provider;
    }
    return std::nullopt;
}

// The text at key, or nothing when the key is absent; a value of another type is a fault.
bool readText(const QJsonObject &object, const char *key, QString &into)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    into = value.toString();
    return true;
}

std::optional<ModelInfo> decodeModel(const QJsonObject &object)
{
    ModelInfo model;
    const std::optional<Provider> provider = providerFromText(object.value(QLatin1String("provider")).toString());
    if (!provider)
        return std::nullopt;
    model.provider = *provider;
    if (!readText(object, "id", model.id) || !readText(object, "name", model.name) ||
        !readText(object, "officialName", model.officialName))
        return std::nullopt;
    model.takesImages = object.value(QLatin1String("capabilities")).toObject().value(QLatin1String("images")).toBool();
    const QJsonValue context = object.value(QLatin1String("contextTokens"));
    if (context.isDouble() && context.toDouble() >= 512 && context.toDouble() <= 1048576)
        model.contextTokens = context.toInt();
    return model;
}

std::optional<Attachment> decodeAttachment(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    Attachment attachment;
    const QString kind = object.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("selectedText"))
        attachment.kind = Attachment::Kind::SelectedText;
    else if (kind == QLatin1String("screenshot"))
        attachment.kind = Attachment::Kind::Screenshot;
    else
        return std::nullopt;
    if (!readText(object, "displayName", attachment.displayName) || !readText(object, "text", attachment.text) ||
        !readText(object, "filePath", attachment.filePath))
        return std::nullopt;
    return attachment;
}

} // namespace

bool isCloud(Provider provider)
{
    return provider == Provider::OpenAI || provider == Provider::Gemini || provider == Provider::Mistral;
}

std::variant<AgentRequest, RequestProblem> decodeRequestLine(const QByteArray &line)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return problem(QStringLiteral("Command received a request it could not read."));
    const QJsonObject object = document.object();

    const QJsonValue version = object.value(QLatin1String("version"));
    if (!version.isDouble() || version.toDouble() != 1)
        return problem(QStringLiteral("Command received a request of an unknown protocol version."));
    const QString requestID = object.value(QLatin1String("requestID")).toString();
    if (QUuid::fromString(requestID).isNull())
        return problem(QStringLiteral("Command received a request without a valid id."));

    AgentRequest request;
    request.requestID = requestID;
    const QString command = object.value(QLatin1String("command")).toString();
    if (command == QLatin1String("run"))
        request.command = AgentRequest::Command::Run;
    else if (command == QLatin1String("continue"))
        request.command = AgentRequest::Command::Continue;
    else if (command == QLatin1String("forgetTurns"))
        request.command = AgentRequest::Command::ForgetTurns;
    else if (command == QLatin1String("keepTurns"))
        request.command = AgentRequest::Command::KeepTurns;
    else if (QStringList{QStringLiteral("cancel"), QStringLiteral("list"), QStringLiteral("load"),
                         QStringLiteral("delete"), QStringLiteral("shutdown")}
                 .contains(command))
        request.command = AgentRequest::Command::Other;
    else
        return problem(QStringLiteral("Command received a request it does not understand."), requestID);

    const QJsonValue model = object.value(QLatin1String("model"));
    if (model.isObject()) {
        request.model = decodeModel(model.toObject());
        if (!request.model)
            return problem(QStringLiteral("Command does not know how to run the selected writing model."), requestID);
    } else if (!model.isUndefined() && !model.isNull()) {
        return problem(QStringLiteral("Command received a request it could not read."), requestID);
    }

    const bool textsRead = readText(object, "conversationID", request.conversationID) &&
                           readText(object, "instruction", request.instruction) &&
                           readText(object, "trustedInstructions", request.trustedInstructions) &&
                           readText(object, "modelPath", request.modelPath) &&
                           readText(object, "projectorPath", request.projectorPath) &&
                           readText(object, "llamaServerPath", request.llamaServerPath) &&
                           readText(object, "appleBridgePath", request.appleBridgePath) &&
                           readText(object, "sessionPath", request.sessionPath) &&
                           readText(object, "cloudAPIKey", request.cloudAPIKey) &&
                           readText(object, "personalContext", request.personalContext) &&
                           readText(object, "reasoningEffort", request.reasoningEffort);
    if (!textsRead)
        return problem(QStringLiteral("Command received a request it could not read."), requestID);

    const QJsonValue attachments = object.value(QLatin1String("attachments"));
    if (!attachments.isUndefined() && !attachments.isArray())
        return problem(QStringLiteral("Command received a request it could not read."), requestID);
    for (const QJsonValue &value : attachments.toArray()) {
        std::optional<Attachment> attachment = decodeAttachment(value);
        if (!attachment)
            return problem(QStringLiteral("Command received an attachment it could not read."), requestID);
        request.attachments.append(std::move(*attachment));
    }
    request.ephemeralSession = object.value(QLatin1String("ephemeralSession")).toBool(false);

    const QJsonValue conversations = object.value(QLatin1String("conversationIDs"));
    if (!conversations.isUndefined() && !conversations.isArray())
        return problem(QStringLiteral("Command received a request it could not read."), requestID);
    for (const QJsonValue &value : conversations.toArray()) {
        if (QUuid::fromString(value.toString()).isNull())
            return problem(QStringLiteral("Command received a request it could not read."), requestID);
        request.conversationIDs.append(value.toString().toUpper());
    }
    const bool changesTurns = request.command == AgentRequest::Command::ForgetTurns ||
                              request.command == AgentRequest::Command::KeepTurns;
    if (changesTurns && (request.sessionPath.isEmpty() || !conversations.isArray()))
        return problem(QStringLiteral("Command received a request it could not read."), requestID);
    return request;
}

} // namespace sorvane::agent
