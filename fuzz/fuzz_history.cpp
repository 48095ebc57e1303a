// The dictation history file, through the store. What loads is saved, loaded again and
// saved again to the same bytes, and the weekly minutes are always a number.
#include "FuzzCheck.h"
#include "Services/Dictation/HistoryStore.h"

using namespace sorvane;
using namespace sorvane::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = storedFileOf(QStringLiteral("history.json"), data, size);
    const HistoryStore::Options options{path, scratchFolder().filePath(QStringLiteral("Recordings")), fixedNow};

    HistoryStore store(options);
    (void)store.minutesThisWeek();
    if (store.items().isEmpty())
        return 0;
    store.save();
    const QByteArray saved = readAll(path);
    HistoryStore again(options);
    check(again.items().size() == store.items().size(), "a saved history loses records");
    again.save();
    check(readAll(path) == saved, "a saved history reads back differently");
    return 0;
}
