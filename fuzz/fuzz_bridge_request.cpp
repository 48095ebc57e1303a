// The bridge's one request. A request that reads is answered by a model that echoes it,
// and the response is always one JSON object.
#include "FuzzCheck.h"
#include "SorvaneAppleBridge/Bridge.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace sorvane;
using namespace sorvane::bridge;
using namespace sorvane::fuzzing;

namespace {
class EchoModel final : public LanguageModel {
public:
    bool isAvailable() override { return true; }
    ModelAvailability availability() override { return ModelAvailability::Available; }
    ModelAnswer respond(const QString &instructions, const QString &prompt) override
    {
        return ModelAnswer::success(instructions + prompt);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = bytesOf(data, size);
    const auto request = decodeRequest(input);
    EchoModel model;
    const BridgeOutcome outcome = answerRequest(input, model);
    const QJsonDocument response = QJsonDocument::fromJson(outcome.output);
    check(response.isObject(), "the response is no JSON object");
    if (const auto *read = std::get_if<BridgeRequest>(&request)) {
        // Texts with lone surrogates cannot be written back; those are answered as failures.
        const QJsonObject object = response.object();
        if (object.value(QStringLiteral("ok")).toBool())
            check(object.value(QStringLiteral("text")).toString() == read->instructions + read->prompt,
                  "the answer is not the model's");
    } else {
        check(!response.object().value(QStringLiteral("ok")).toBool(), "an unreadable request was answered");
    }
    return 0;
}
