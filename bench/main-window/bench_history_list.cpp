// The history list with 10 000 and with 100 000 dictations beside 500 conversations:
// building it from the two stores; typing a search at eight keystrokes a second, with
// the main thread's longest stall meanwhile (a 1 ms heartbeat's longest gap: what would
// hold up a frame); and a new dictation while the list is open.
#include "MainWindow/HistoryListModel.h"
#include "Services/Command/AgentConversationStore.h"
#include "Services/Dictation/HistoryStore.h"
#include "Support/StoredJson.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace sorvane;
using namespace sorvane::bench;

namespace {

const QStringList words = {QStringLiteral("meeting"), QStringLiteral("budget"), QStringLiteral("release"),
                           QStringLiteral("holiday"), QStringLiteral("invoice"), QStringLiteral("kubernetes")};

// Runs the event loop for `milliseconds`, and gives the longest gap between the ticks
// of a 1 ms timer meanwhile.
double longestStallWhile(int milliseconds, const std::function<void(int tick)> &onTick)
{
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QElapsedTimer since, total;
    qint64 longest = 0;
    int ticks = 0;
    QEventLoop loop;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        if (since.isValid())
            longest = std::max(longest, since.nsecsElapsed());
        since.start();
        onTick(ticks++);
        if (total.elapsed() >= milliseconds)
            loop.quit();
    });
    total.start();
    heartbeat.start();
    loop.exec();
    return longest / 1e6;
}

void measure(int records, AgentConversationStore &conversations, const QTemporaryDir &dir)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QJsonArray stored;
    for (int i = 0; i < records; ++i)
        stored.append(HistoryItem::make(start.addSecs(-60 * i),
                                        QStringLiteral("Dictation %1 about the %2, a sentence of ordinary length.")
                                            .arg(i)
                                            .arg(words[i % words.size()]),
                                        4.5 + i % 30, QStringLiteral("pocket"))
                          .toJson());
    const QString path = dir.filePath(QStringLiteral("history-%1.json").arg(records));
    storedjson::writeFileAtomically(path, storedjson::encode(stored));
    HistoryStore history(HistoryStore::Options{path, dir.filePath("Recordings"), [start] { return start; }});
    if (history.items().size() != records)
        std::exit(1);

    QList<double> buildTimes, blocked;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        HistoryListModel model(&history, &conversations);
        blocked.append(timer.nsecsElapsed() / 1e6);
        while (model.isWorking())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        buildTimes.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%d dictations, 500 conversations:\n", records);
    std::printf("  build the list:                           %8.2f ms until its rows are in, %.2f ms of it on the "
                "main thread (medians of 5)\n",
                median(buildTimes), median(blocked));
    const QByteArray size = QByteArray::number(records);
    printFigure(QByteArray("history screen, " + size + " records: list built (open)").constData(), buildTimes, "ms", "<= 100");

    HistoryListModel model(&history, &conversations);
    const QString typed = QStringLiteral("kubernetes");
    QStringList keystrokes;
    for (int n = 1; n <= typed.size(); ++n)
        keystrokes.append(typed.left(n));
    for (int n = typed.size() - 1; n >= 0; --n)
        keystrokes.append(typed.left(n));
    const double stall = longestStallWhile(int(keystrokes.size()) * 125 + 500, [&](int tick) {
        if (tick % 125 == 0 && tick / 125 < keystrokes.size())
            model.setSearch(keystrokes.at(tick / 125));
    });
    std::printf("  typing and erasing \"kubernetes\", 8 a second: longest main-thread stall %.2f ms (aim: 16 ms)\n",
                stall);
    printFigure(QByteArray("history screen, " + size + " records: longest stall typing a search").constData(), {stall}, "ms",
                "<= 16");

    QList<double> inserts;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer timer;
        timer.start();
        history.insert(HistoryItem::make(QDateTime::currentDateTimeUtc(), QStringLiteral("a new dictation"), 3,
                                         QStringLiteral("pocket")),
                       HistoryStore::Write::InBackground);
        inserts.append(timer.nsecsElapsed() / 1e6);
    }
    history.waitForWrites();
    std::printf("  a new dictation with the list open:       %8.2f ms on the main thread (median of 7; aim: 2 ms)\n",
                median(inserts));
    printFigure(QByteArray("a dictation's history step, " + size + " records, list open").constData(), inserts, "ms", "<= 2");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QDateTime clock = start.addDays(-30);
    AgentConversationStore conversations(AgentConversationStore::Options{
        dir.filePath("Agent/conversations.json"), dir.filePath("Agent/Attachments"), [&clock] { return clock; }});
    for (int i = 0; i < 500; ++i) {
        clock = clock.addSecs(600);
        const QUuid id = QUuid::createUuid();
        conversations.createConversation(id, QStringLiteral("Rewrite the %1 note").arg(words[i % words.size()]), {},
                                         QStringLiteral("Notes"));
        conversations.addAssistantMessage(QStringLiteral("Here is the %1 note, shorter.").arg(words[(i + 1) % words.size()]), id);
    }
    measure(10000, conversations, dir);
    measure(100000, conversations, dir);
    return 0;
}
