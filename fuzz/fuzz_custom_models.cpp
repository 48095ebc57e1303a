// The custom-models file: each entry that reads is written and read back the same, and
// its names are safe to use as paths.
#include "Command/AgentModelDescriptor.h"
#include "FuzzCheck.h"
#include "Support/SafePath.h"
#include "Support/StoredJson.h"

#include <QJsonArray>

using namespace sorvane;
using namespace sorvane::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto document = storedjson::parseDocument(bytesOf(data, size));
    if (!document || !document->isArray())
        return 0;
    for (const QJsonValue &entry : document->array()) {
        const auto model = AgentModelDescriptor::fromJson(entry);
        if (!model)
            continue;
        check(isSafePathComponent(model->id), "a model id is no safe path component");
        for (const AgentModelArtifact &artifact : model->artifacts)
            check(isSafePathComponent(artifact.fileName), "a model file name is no safe path component");
        const QJsonObject written = model->toJson();
        const auto again = AgentModelDescriptor::fromJson(written);
        check(again.has_value(), "a written model does not read back");
        check(again->toJson() == written, "a written model reads back differently");
    }
    return 0;
}
