// One event line of the Command runtime. An event that reads is written and read back
// to the same bytes.
#include "Command/AgentRuntimeProtocol.h"
#include "FuzzCheck.h"

#include <QJsonDocument>

using namespace sorvane;
using namespace sorvane::fuzzing;

namespace {
QByteArray lineOf(const AgentRuntimeEvent &event)
{
    return QJsonDocument(event.toJson()).toJson(QJsonDocument::Compact);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto event = AgentRuntimeEvent::decodedLine(bytesOf(data, size));
    if (!event)
        return 0;
    const QByteArray written = lineOf(*event);
    const auto again = AgentRuntimeEvent::decodedLine(written);
    check(again.has_value(), "a written event does not read back");
    check(lineOf(*again) == written, "a written event reads back differently");
    return 0;
}
