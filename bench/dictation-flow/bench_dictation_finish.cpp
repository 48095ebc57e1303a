// The program's own time from the speech engine's exit to the paste keystroke, step
// by step, with a history of 10 000 records. The state runs over the test fakes (the
// clipboard, windows and keystrokes cost nothing there), with the fake engine as a real
// child process that stamps the moment it exits. The deliberate waits of the paste are
// listed apart and taken out of the program's own time.
#include "Shared/AppPaths.h"
#include "Services/Shared/PasteboardSnapshot.h"
#include "Support/StoredJson.h"
#include "TestAppState.h"
#include "TestPaths.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace sorvane;
using namespace sorvane::testing;
using namespace sorvane::bench;

namespace {

qint64 monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double milliseconds(qint64 from, qint64 to) { return (to - from) / 1e6; }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The test programs lie in <build>/tests/; this one in <build>/bench/dictation-flow/.
    if (qEnvironmentVariableIsEmpty("SORVANE_BUILD_DIR"))
        qputenv("SORVANE_BUILD_DIR", QFile::encodeName(QDir::cleanPath(app.applicationDirPath() + QStringLiteral("/../.."))));
    constexpr int records = 10000;
    constexpr int runs = 7;

    TestAppState t;
    useDataHome(t.folder.filePath(QStringLiteral("data")));
    (void)AppPaths::prepare();
    const QString stampFile = t.folder.filePath(QStringLiteral("engine-exit"));
    qputenv("FAKE_SPEECH_ENGINE_TRANSCRIPT", "a short dictated sentence");
    qputenv("FAKE_SPEECH_ENGINE_EXIT_STAMP", QFile::encodeName(stampFile));
    t.engineLocator = [](SpeechEngine) { return std::optional<QString>(testProgram(QStringLiteral("fake-speech-engine"))); };
    t.runtimeExecutable = testProgram(QStringLiteral("fake-sorvane-agent"));
    t.placeSpeechModelFile(QStringLiteral("pocket"));
    t.fakes.settings->values.insert(QStringLiteral("clipboardRestoreEnabled"), true);
    const RunningApplication editor{4242, QStringLiteral("Editor"), 77, QStringLiteral("editor"), QStringLiteral("editor")};
    t.fakes.windowSystem->applications = {editor};
    t.fakes.windowSystem->frontmost = editor;
    writeHistory(t.folder.filePath(QStringLiteral("history.json")), records);
    AppState &state = t.build();
    if (state.historyStore().items().size() != records) {
        std::fprintf(stderr, "the history did not load\n");
        return 1;
    }

    qint64 cleared = 0, written = 0, inserted = 0, keystroke = 0;
    QObject::connect(t.fakes.clipboard, &SystemClipboard::changed, [&] {
        (t.fakes.clipboard->text() ? written : cleared) = monotonicNanoseconds();
    });
    QObject::connect(t.historyStore.get(), &HistoryStore::itemsChanged, [&] { inserted = monotonicNanoseconds(); });
    t.fakes.keystrokes->onSend = [&](const KeyChord &) { keystroke = monotonicNanoseconds(); };

    QList<double> toSnapshot, toWrite, toHistory, toKeystroke, total;
    for (int run = 0; run < runs; ++run) {
        t.fakes.clipboard->writeByOtherProgram({ClipboardItem{{QStringLiteral("text/plain"), "copied before"}}});
        cleared = written = inserted = keystroke = 0;
        state.toggleRecording();
        t.fakes.audioInput->pushSamples(QVector<qint16>(8000, 700));
        state.toggleRecording();
        QEventLoop loop;
        QObject::connect(&state, &AppState::statusChanged, &loop, [&] {
            if (state.status().kind() == CaptureStatus::Kind::Success || state.status().kind() == CaptureStatus::Kind::Error)
                loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        if (state.status().kind() != CaptureStatus::Kind::Success || keystroke == 0) {
            std::fprintf(stderr, "run %d did not paste: %s\n", run, qPrintable(state.status().text()));
            return 1;
        }
        const qint64 exited = readFile(stampFile).trimmed().toLongLong();
        toSnapshot.append(milliseconds(exited, cleared));
        toWrite.append(milliseconds(cleared, written));
        toHistory.append(milliseconds(written, inserted));
        toKeystroke.append(milliseconds(inserted, keystroke));
        total.append(milliseconds(exited, keystroke));
        t.timers.advance(std::chrono::seconds(10)); // the overlay hide and the restore
    }

    // Two steps on their own, for comparison: the snapshot of a clipboard with a few
    // formats, and the same history insert written before returning.
    QList<double> snapshotAlone, savedNow;
    t.fakes.clipboard->writeByOtherProgram({ClipboardItem{{QStringLiteral("text/plain"), QByteArray(2000, 'a')},
                                                          {QStringLiteral("text/html"), QByteArray(8000, 'b')},
                                                          {QStringLiteral("image/png"), QByteArray(200000, 'c')}}});
    for (int run = 0; run < runs; ++run) {
        const qint64 start = monotonicNanoseconds();
        const PasteboardSnapshot snapshot = PasteboardSnapshot::capture(*t.fakes.clipboard);
        snapshotAlone.append(milliseconds(start, monotonicNanoseconds()));
        const qint64 before = monotonicNanoseconds();
        t.historyStore->insert(HistoryItem::make(QDateTime::currentDateTimeUtc(), QStringLiteral("compare"), 1,
                                                 QStringLiteral("pocket")));
        savedNow.append(milliseconds(before, monotonicNanoseconds()));
        Q_UNUSED(snapshot);
    }

    const double settle = std::chrono::duration<double, std::milli>(AgentContextCaptureService::pasteSettle).count();
    std::printf("dictation finish: engine exit to paste keystroke, median of %d runs, %d history records\n", runs,
                records);
    std::printf("(fake clipboard, windows and keystrokes; aim: under 10 ms beyond the deliberate waits)\n\n");
    std::printf("%-58s %8.2f ms\n", "engine exit -> clipboard cleared (runner, cleanup, snapshot)", median(toSnapshot));
    std::printf("%-58s %8.2f ms\n", "clipboard cleared -> text written", median(toWrite));
    std::printf("%-58s %8.2f ms\n", "text written -> history record inserted (recording deleted)", median(toHistory));
    std::printf("%-58s %8.2f ms\n", "history inserted -> keystroke (save queued, activation)", median(toKeystroke));
    std::printf("%-58s %8.2f ms\n", "total", median(total));
    std::printf("\ndeliberate waits inside that total:\n");
    std::printf("%-58s %8.2f ms\n", "  settle after activation before the keystroke", settle);
    std::printf("%-58s %8.2f ms\n", "  activation checks (target already in front)", 0.0);
    std::printf("%-58s %8.2f ms\n", "program's own time (total - waits)", median(total) - settle);
    std::printf("\nsteps on their own:\n");
    std::printf("%-58s %8.2f ms\n", "  snapshot of a clipboard of 3 formats (210 kB)", median(snapshotAlone));
    std::printf("%-58s %8.2f ms\n", "  history insert saved before returning (10 000 records)", median(savedNow));
    std::printf("\nafter the keystroke, not part of the path: %lld ms for the keystroke to land\n",
                static_cast<long long>(AgentContextCaptureService::pasteLand.count()));
    return 0;
}
