// A hostile history of a million dictations: how long the program's background read
// takes, what it holds in memory beside the file's size, and the main thread's longest
// stall while the file is read and while a dictation is inserted and saved. Prints
// figures; asserts nothing.
#include "Shared/AppPaths.h"
#include "TestPaths.h"
#include "Services/Dictation/HistoryStore.h"
#include "Support/StoredJson.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <malloc.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

// Written record by record, so the benchmark holds none of it in memory.
bool writeHistory(const QString &path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    file.write("[\n");
    for (int i = 0; i < count; ++i) {
        const HistoryItem item = HistoryItem::make(
            start.addSecs(-60 * qint64(i)),
            QStringLiteral("Dictation number %1: a sentence of ordinary length that someone said into the microphone.")
                .arg(i),
            4.5 + i % 30, QStringLiteral("pocket"));
        file.write(QJsonDocument(item.toJson()).toJson(QJsonDocument::Compact));
        file.write(i + 1 < count ? ",\n" : "\n");
    }
    file.write("]\n");
    return file.error() == QFile::NoError;
}

// The longest gap between the ticks of a 1 ms timer on the main thread.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double now = m_clock.nsecsElapsed() / 1e6;
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_clock.nsecsElapsed() / 1e6 - m_last);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_longest = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    useDataHome(home.path());
    (void)AppPaths::prepare();
    constexpr int count = 1000000;
    if (!writeHistory(AppPaths::history(), count)) {
        std::printf("could not write the history file\n");
        return 1;
    }
    const double fileMiB = QFileInfo(AppPaths::history()).size() / 1048576.0;
    malloc_trim(0);
    const double before = bench::residentMiB();

    StallMeter meter;
    HistoryStore::Options options = HistoryStore::defaultOptions();
    options.loadInBackground = true;
    QElapsedTimer clock;
    clock.start();
    meter.start();
    HistoryStore store(options);
    QEventLoop wait;
    QObject::connect(&store, &HistoryStore::loaded, &wait, &QEventLoop::quit);
    wait.exec();
    const double loadMs = clock.nsecsElapsed() / 1e6;
    const double loadStall = meter.stop();
    if (store.items().size() != count) {
        std::printf("read %lld of %d records\n", static_cast<long long>(store.items().size()), count);
        return 1;
    }
    malloc_trim(0);
    const double loadedMiB = bench::residentMiB() - before;

    // Dictations one after the other: the first save is still being written when the
    // next ones come, as after a burst of short dictations.
    double longestInsert = 0;
    for (int i = 0; i < 3; ++i) {
        clock.restart();
        store.insert(HistoryItem::make(QDateTime::currentDateTimeUtc(), QStringLiteral("new"), 3, QStringLiteral("pocket")),
                     HistoryStore::Write::InBackground);
        longestInsert = std::max(longestInsert, clock.nsecsElapsed() / 1e6);
    }
    clock.restart();
    store.waitForWrites();
    const double saveMs = clock.nsecsElapsed() / 1e6;

    std::printf("hostile history of %d records (%.0f MiB file):\n", count, fileMiB);
    std::printf("  background read until the list is full:     %8.0f ms\n", loadMs);
    std::printf("  main thread's longest stall meanwhile:      %8.1f ms  (aim: responsive, <= 16 ms)\n", loadStall);
    std::printf("  memory held by the loaded history:          %8.0f MiB (%.1f x the file)\n", loadedMiB,
                loadedMiB / fileMiB);
    std::printf("  a dictation's insert on the main thread:    %8.2f ms  (longest of 3 in a row; aim <= 2 ms)\n",
                longestInsert);
    std::printf("  their saves, on the writer thread (after):  %8.0f ms\n", saveMs);
    using sorvane::bench::printFigure;
    printFigure("1 M records: background read", {loadMs}, "ms", "responsive");
    printFigure("1 M records: main thread's longest stall while read", {loadStall}, "ms", "<= 16");
    printFigure("1 M records: memory held per MiB of file", {loadedMiB / fileMiB}, "x", "proportional");
    printFigure("1 M records: a dictation's insert (main thread)", {longestInsert}, "ms", "<= 2");
    return 0;
}
