// One request line to the Command runtime, as the runtime's side reads it. A request
// that reads is written and read back to the same line.
#include "Command/AgentRuntimeProtocol.h"
#include "FuzzCheck.h"
#include "Support/StoredJson.h"

using namespace sorvane;
using namespace sorvane::fuzzing;

namespace {
std::optional<AgentRuntimeRequest> requestOf(const QByteArray &line)
{
    const auto document = storedjson::parseDocument(line);
    if (!document || !document->isObject())
        return std::nullopt;
    return AgentRuntimeRequest::fromJson(document->object());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto request = requestOf(bytesOf(data, size));
    if (!request)
        return 0;
    const QByteArray line = request->encodedLine();
    check(line.endsWith('\n') && line.count('\n') == 1, "a request line is not one line");
    const auto again = requestOf(line);
    check(again.has_value(), "a written request does not read back");
    check(again->encodedLine() == line, "a written request reads back differently");
    return 0;
}
