// Opening the history section with 10 000 dictations and 500 conversations: the time
// to its first frame and the memory it adds, then the time from a keystroke in the
// search to the frame that shows its result.
#include "Dictation/HistoryItem.h"
#include "QmlScene.h"
#include "Support/StoredJson.h"
#include "TestAppState.h"
#include "BenchTools.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace sorvane;
using namespace sorvane::testing;
using namespace sorvane::bench;
using sorvane::test::QmlScene;

namespace {

// Resident memory of this process, in KiB.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

bool waitForFrame(QQuickWindow *window)
{
    QSignalSpy frame(window, &QQuickWindow::frameSwapped);
    window->update();
    return frame.wait(10000);
}

const QStringList words = {QStringLiteral("meeting"), QStringLiteral("budget"), QStringLiteral("release"),
                           QStringLiteral("holiday"), QStringLiteral("invoice"), QStringLiteral("kubernetes")};

void writeStores(TestAppState &t)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonArray items;
    for (int i = 0; i < 10000; ++i)
        items.append(HistoryItem::make(now.addSecs(-60 * i),
                                       QStringLiteral("Dictation %1 about the %2, a sentence of ordinary length that "
                                                      "someone said into the microphone.")
                                           .arg(i)
                                           .arg(words[i % words.size()]),
                                       4.5 + i % 30, QStringLiteral("pocket"))
                         .toJson());
    storedjson::writeFileAtomically(t.folder.filePath(QStringLiteral("history.json")), storedjson::encode(items));
    QJsonArray conversations;
    for (int i = 0; i < 500; ++i) {
        const QDateTime at = now.addSecs(-1000 * i - 30);
        AgentConversation c;
        c.id = QUuid::createUuid();
        c.title = QStringLiteral("Rewrite the %1 note").arg(words[i % words.size()]);
        c.createdAt = at;
        c.updatedAt = at;
        c.targetApplicationName = QStringLiteral("Notes");
        c.messages.append({QUuid::createUuid(), AgentMessageRole::User, c.title, at, {}});
        c.messages.append({QUuid::createUuid(), AgentMessageRole::Assistant,
                           QStringLiteral("Here is the %1 note, shorter.").arg(words[(i + 1) % words.size()]), at, {}});
        conversations.append(c.toJson());
    }
    storedjson::writeFileAtomically(t.folder.filePath(QStringLiteral("conversations.json")),
                                    storedjson::encode(conversations));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());

    TestAppState t;
    writeStores(t);
    AppState &state = t.build();
    if (state.historyStore().items().size() != 10000 || state.agentConversationStore().conversations().size() != 500) {
        std::fprintf(stderr, "the stores did not load\n");
        return 1;
    }

    // A warm-up opening, so that the figures leave out the one-time loading of the
    // QML module and the fonts.
    {
        QmlScene warm(&state);
        warm.load("import Sorvane\nHistoryView {}", QSize(907, 700));
        waitForFrame(warm.window());
    }

    QmlScene scene(&state);
    const long before = residentKiB();
    QElapsedTimer timer;
    timer.start();
    if (!scene.load("import Sorvane\nHistoryView {}", QSize(907, 700)) || !waitForFrame(scene.window())) {
        std::fprintf(stderr, "the history did not open: %s\n", scene.errors());
        return 1;
    }
    const double firstFrame = timer.nsecsElapsed() / 1e6;
    const long after = residentKiB();
    std::printf("open the history (10 000 dictations, 500 conversations) to its first frame: %.1f ms\n", firstFrame);
    std::printf("memory added by the open history: %.1f MiB (resident, %ld -> %ld KiB)\n", (after - before) / 1024.0,
                before, after);

    const QString typed = QStringLiteral("kubernetes");
    QList<double> keystrokes;
    for (int round = 0; round < 3; ++round) {
        for (int n = 1; n <= typed.size(); ++n) {
            timer.restart();
            scene.root()->setProperty("search", typed.left(n));
            waitForFrame(scene.window());
            keystrokes.append(timer.nsecsElapsed() / 1e6);
        }
        for (int n = typed.size() - 1; n >= 0; --n) {
            timer.restart();
            scene.root()->setProperty("search", typed.left(n));
            waitForFrame(scene.window());
            keystrokes.append(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("search keystroke to its frame: median %.1f ms, worst %.1f ms over %lld keystrokes\n",
                median(keystrokes), *std::max_element(keystrokes.begin(), keystrokes.end()),
                static_cast<long long>(keystrokes.size()));
    return 0;
}
