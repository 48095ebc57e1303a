#include "SorvaneAppleBridge/Bridge.h"

#include "SorvaneAppleBridge/StandardStreams.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace sorvane::bridge {

namespace {

const QString unencodableMessage = QStringLiteral("The response could not be encoded.");

// Why `key` does not hold a string, or nothing when it does.
std::optional<QString> fieldProblem(const QJsonObject &object, const QString &key)
{
    const auto found = object.constFind(key);
    if (found == object.constEnd())
        return QStringLiteral("The request has no \"%1\".").arg(key);
    if (found->isNull())
        return QStringLiteral("The request's \"%1\" is null.").arg(key);
    if (!found->isString())
        return QStringLiteral("The request's \"%1\" is not a string.").arg(key);
    return std::nullopt;
}

std::variant<BridgeRequest, QString> unreadable(QString reason)
{
    return std::variant<BridgeRequest, QString>(std::in_place_index<1>, std::move(reason));
}

// One JSON string literal, quotes included, with the standard escapes.
QByteArray stringLiteral(const QString &text)
{
    // Qt's writer does the escaping; the array around the string is cut away.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

BridgeOutcome outcomeOf(const BridgeResponse &response)
{
    if (const std::optional<QByteArray> bytes = encodeResponse(response))
        return {*bytes, response.ok ? 0 : 1};
    // A caller must never see success without an answer: say so in a response that encodes.
    return {*encodeResponse(BridgeResponse::failure(unencodableMessage)), 1};
}

} // namespace

std::variant<BridgeRequest, QString> decodeRequest(const QByteArray &input)
{
    if (input.isEmpty())
        return unreadable(QStringLiteral("The request is empty."));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(input, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return unreadable(QStringLiteral("The request is not valid JSON: %1 at offset %2.")
                              .arg(parseError.errorString())
                              .arg(parseError.offset));
    if (!document.isObject())
        return unreadable(QStringLiteral("The request is not a JSON object."));

    const QJsonObject object = document.object();
    const QString instructionsKey = QStringLiteral("instructions");
    const QString promptKey = QStringLiteral("prompt");
    // In the order of the fields: a request lacking both is told about "instructions".
    for (const QString &key : {instructionsKey, promptKey}) {
        if (std::optional<QString> problem = fieldProblem(object, key))
            return unreadable(std::move(*problem));
    }
    return BridgeRequest{object.value(instructionsKey).toString(), object.value(promptKey).toString()};
}

std::optional<QByteArray> encodeResponse(const BridgeResponse &response)
{
    const QString &detail = response.ok ? response.text : response.error;
    if (!QStringView(detail).isValidUtf16())
        return std::nullopt;
    QByteArray bytes = response.ok ? QByteArrayLiteral("{\"ok\":true,\"text\":")
                                   : QByteArrayLiteral("{\"ok\":false,\"error\":");
    bytes += stringLiteral(detail);
    bytes += '}';
    return bytes;
}

QString unavailableMessage(ModelAvailability availability)
{
    switch (availability) {
    case ModelAvailability::Available:
        return QStringLiteral("The on-device model is available.");
    case ModelAvailability::DeviceNotEligible:
        return QStringLiteral("This computer is not eligible for the on-device model.");
    case ModelAvailability::ModelNotReady:
        return QStringLiteral("The on-device model is not ready.");
    case ModelAvailability::Unavailable:
        break;
    }
    return QStringLiteral("The on-device model is unavailable.");
}

BridgeOutcome answerRequest(const QByteArray &input, LanguageModel &model)
{
    std::variant<BridgeRequest, QString> decoded = decodeRequest(input);
    if (decoded.index() == 1)
        return outcomeOf(BridgeResponse::failure(std::get<1>(std::move(decoded))));
    const BridgeRequest &request = std::get<0>(decoded);

    if (!model.isAvailable())
        return outcomeOf(BridgeResponse::failure(unavailableMessage(model.availability())));

    const ModelAnswer answer = model.respond(request.instructions, request.prompt);
    return outcomeOf(answer.answered ? BridgeResponse::success(answer.text)
                                     : BridgeResponse::failure(answer.error));
}

int runBridge(int inputFd, int outputFd, LanguageModel &model)
{
    const std::optional<QByteArray> input = readToEnd(inputFd);
    const BridgeOutcome outcome =
        input ? answerRequest(*input, model)
              : outcomeOf(BridgeResponse::failure(QStringLiteral("The request could not be read.")));
    if (!writeAll(outputFd, outcome.output))
        return 1;
    return outcome.exitStatus;
}

} // namespace sorvane::bridge
