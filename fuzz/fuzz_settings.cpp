// The settings file. What reads, the values and the entries of unknown kinds alike, is
// written and read back to the same bytes.
#include "FuzzCheck.h"
#include "Platform/SettingsStore.h"

using namespace sorvane;
using namespace sorvane::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto contents = JsonFileSettingsStore::decodeContents(bytesOf(data, size));
    if (!contents)
        return 0;
    const QByteArray written = JsonFileSettingsStore::encode(contents->values, contents->unknownEntries);
    const auto again = JsonFileSettingsStore::decodeContents(written);
    check(again.has_value(), "written settings do not read back");
    check(again->values == contents->values, "written settings read back with other values");
    check(JsonFileSettingsStore::encode(again->values, again->unknownEntries) == written,
          "written settings read back differently");
    return 0;
}
