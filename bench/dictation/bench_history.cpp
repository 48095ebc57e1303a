// History load and insert-plus-save at growing sizes.
#include "Shared/AppPaths.h"
#include "TestPaths.h"
#include "Services/Dictation/HistoryStore.h"
#include "Support/StoredJson.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace sorvane;
using namespace sorvane::testing;
using namespace sorvane::bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    useDataHome(home.path());
    (void)AppPaths::prepare();

    std::printf("history: median of 7 runs (aim: 10 000 records load < 100 ms, insert+save < 50 ms)\n");
    std::printf("%10s %12s %16s %22s %14s\n", "records", "load ms", "insert+save ms", "insert, background ms",
                "file MB");
    for (int count : {1000, 10000, 50000}) {
        writeHistory(AppPaths::history(), count);
        const double megabytes = QFileInfo(AppPaths::history()).size() / 1e6;
        QList<double> loads;
        QList<double> saves;
        QList<double> backgroundInserts;
        for (int run = 0; run < 7; ++run) {
            QElapsedTimer clock;
            clock.start();
            HistoryStore store(HistoryStore::defaultOptions());
            loads.append(clock.nsecsElapsed() / 1e6);
            if (store.items().size() != count) {
                std::fprintf(stderr, "loaded %lld of %d records\n", static_cast<long long>(store.items().size()), count);
                return 1;
            }
            clock.restart();
            store.insert(HistoryItem::make(QDateTime::currentDateTimeUtc(), QStringLiteral("new"), 3,
                                           QStringLiteral("pocket")));
            saves.append(clock.nsecsElapsed() / 1e6);
            // What the dictation flow waits for: the save itself runs on its own thread.
            clock.restart();
            store.insert(HistoryItem::make(QDateTime::currentDateTimeUtc(), QStringLiteral("newer"), 3,
                                           QStringLiteral("pocket")),
                         HistoryStore::Write::InBackground);
            backgroundInserts.append(clock.nsecsElapsed() / 1e6);
            store.deleteItem(store.items().first());
            store.deleteItem(store.items().first()); // back to `count` for the next run
        }
        std::printf("%10d %12.1f %16.1f %22.2f %14.1f\n", count, median(loads), median(saves),
                    median(backgroundInserts), megabytes);
        if (count == 10000)
            printFigure("a dictation's history step, 10 k records (main thread)", backgroundInserts, "ms", "<= 2");
    }
    return 0;
}
