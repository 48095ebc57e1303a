// The history list with 10 000 dictations and 500 conversations: building it from the
// two stores, and narrowing it as each letter of a search is typed.
#include "MainWindow/HistoryListModel.h"
#include "Services/Command/AgentConversationStore.h"
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
using namespace sorvane::bench;

namespace {

const QStringList words = {QStringLiteral("meeting"), QStringLiteral("budget"), QStringLiteral("release"),
                           QStringLiteral("holiday"), QStringLiteral("invoice"), QStringLiteral("kubernetes")};

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
    // The history is written as a file and loaded: an insert per record would rewrite it each time.
    QJsonArray stored;
    for (int i = 0; i < 10000; ++i)
        stored.append(HistoryItem::make(start.addSecs(-60 * i),
                                        QStringLiteral("Dictation %1 about the %2, a sentence of ordinary length.")
                                            .arg(i)
                                            .arg(words[i % words.size()]),
                                        4.5 + i % 30, QStringLiteral("pocket"))
                          .toJson());
    storedjson::writeFileAtomically(dir.filePath("history.json"), storedjson::encode(stored));
    HistoryStore history(HistoryStore::Options{dir.filePath("history.json"), dir.filePath("Recordings"), [start] { return start; }});
    if (history.items().size() != 10000)
        return 1;

    QList<double> buildTimes;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        HistoryListModel model(&history, &conversations);
        buildTimes.append(timer.nsecsElapsed() / 1e6);
        if (model.rowCount() != 10500)
            return 1;
    }
    std::printf("build the list of 10 000 dictations and 500 conversations: %.2f ms (median of 5)\n",
                median(buildTimes));

    HistoryListModel model(&history, &conversations);
    const QString typed = QStringLiteral("kubernetes");
    QList<double> keystrokes;
    for (int round = 0; round < 3; ++round) {
        for (int n = 1; n <= typed.size(); ++n) {
            QElapsedTimer timer;
            timer.start();
            model.setSearch(typed.left(n));
            keystrokes.append(timer.nsecsElapsed() / 1e6);
        }
        for (int n = typed.size() - 1; n >= 0; --n) {
            QElapsedTimer timer;
            timer.start();
            model.setSearch(typed.left(n));
            keystrokes.append(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("search keystroke (typing and erasing \"kubernetes\"): median %.2f ms, worst %.2f ms over %lld keystrokes\n",
                median(keystrokes), *std::max_element(keystrokes.begin(), keystrokes.end()),
                static_cast<long long>(keystrokes.size()));
    return 0;
}
