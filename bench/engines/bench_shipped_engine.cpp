// The shipped whisper-cli on a 3 s and a 10 s recording, with the engine tests' model that
// hears one word in every clip: the engine's time alone (run directly with the runner's
// command line), and the program's own cost from the engine's end to the paste keystroke
// (the application state over the test fakes, the engine a real child process behind a
// wrapper that stamps the moment it ended). The paste's deliberate settle is taken out.
#include "Shared/AppPaths.h"
#include "Services/Dictation/WhisperRunner.h"
#include "TestAppState.h"
#include "TestPaths.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <ctime>

using namespace sorvane;
using namespace sorvane::testing;
using namespace sorvane::bench;

namespace {

constexpr int runs = 3;
constexpr int sampleRate = 16000;

qint64 realtimeNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

QVector<qint16> tone(double seconds)
{
    QVector<qint16> samples(qsizetype(seconds * sampleRate));
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = qint16(8000 * std::sin(2 * M_PI * 440.0 * double(i) / sampleRate));
    return samples;
}

bool writeClip(const QString &path, double seconds)
{
    return QProcess::execute(QStringLiteral("sox"),
                             {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(sampleRate),
                              QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"),
                              path, QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"),
                              QStringLiteral("440")})
        == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString build = QDir::cleanPath(app.applicationDirPath() + QStringLiteral("/../.."));
    if (qEnvironmentVariableIsEmpty("SORVANE_BUILD_DIR"))
        qputenv("SORVANE_BUILD_DIR", QFile::encodeName(build));
    const QString engine = build + QStringLiteral("/libexec/sorvane/whisper-cli");
    if (!QFileInfo(engine).isExecutable()) {
        std::fprintf(stderr, "%s is missing: scripts/build.sh builds it\n", qPrintable(engine));
        return 1;
    }

    TestAppState t;
    const QString models = t.folder.filePath(QStringLiteral("test-models"));
    if (QProcess::execute(QStringLiteral("bash"), {QStringLiteral(SORVANE_MAKE_TEST_MODELS), build, models,
                                                   QStringLiteral(SORVANE_TEST_PYTHON)})
        != 0) {
        std::fprintf(stderr, "the test models could not be made\n");
        return 1;
    }
    const QString rigged = models + QStringLiteral("/whisper-marmalade.bin");

    // The engine, then the moment it ended, then its status.
    const QString stampFile = t.folder.filePath(QStringLiteral("engine-end"));
    const QString wrapper = t.folder.filePath(QStringLiteral("stamping-engine"));
    writeFile(wrapper, QStringLiteral("#!/bin/sh\n\"%1\" \"$@\"\nstatus=$?\ndate +%s%N > \"%2\"\nexit $status\n")
                           .arg(engine, stampFile)
                           .toUtf8());
    QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    useDataHome(t.folder.filePath(QStringLiteral("data")));
    (void)AppPaths::prepare();
    t.engineLocator = [wrapper](SpeechEngine) { return std::optional<QString>(wrapper); };
    t.runtimeExecutable = testProgram(QStringLiteral("fake-sorvane-agent"));
    const SpeechModel &pocket = *SpeechModel::find(QStringLiteral("pocket"));
    QDir().mkpath(t.modelsFolder());
    QFile::link(rigged, QDir(t.modelsFolder()).filePath(pocket.fileName));
    const RunningApplication editor{4242, QStringLiteral("Editor"), 77, QStringLiteral("editor"), QStringLiteral("editor")};
    t.fakes.windowSystem->applications = {editor};
    t.fakes.windowSystem->frontmost = editor;
    AppState &state = t.build();

    qint64 keystroke = 0;
    t.fakes.keystrokes->onSend = [&](const KeyChord &) { keystroke = realtimeNanoseconds(); };
    const double settle = std::chrono::duration<double, std::milli>(AgentContextCaptureService::pasteSettle).count();

    std::printf("shipped whisper-cli with the one-word test model, median of %d runs, %d threads\n", runs,
                WhisperRunner::threadCount(QThread::idealThreadCount()));
    std::printf("(fake clipboard, windows and keystrokes; aim: the program's own cost under 10 ms)\n\n");
    std::printf("%-10s %18s %30s\n", "recording", "engine alone", "engine end -> paste keystroke");
    for (const double seconds : {3.0, 10.0}) {
        const QString clip = t.folder.filePath(QStringLiteral("clip.wav"));
        if (!writeClip(clip, seconds)) {
            std::fprintf(stderr, "sox could not write the clip\n");
            return 1;
        }
        QList<double> alone;
        for (int run = 0; run < runs; ++run) {
            QProcess direct;
            direct.setProcessEnvironment(WhisperRunner::engineEnvironment(QProcessEnvironment::systemEnvironment()));
            QElapsedTimer timer;
            timer.start();
            direct.start(engine, WhisperRunner::arguments(pocket, rigged, clip, {},
                                                          WhisperRunner::threadCount(QThread::idealThreadCount())));
            if (!direct.waitForFinished(300000) || direct.exitCode() != 0) {
                std::fprintf(stderr, "the engine failed: %s\n", direct.readAllStandardError().constData());
                return 1;
            }
            alone.append(timer.nsecsElapsed() / 1e6);
        }

        QList<double> ownCost;
        for (int run = 0; run < runs; ++run) {
            keystroke = 0;
            QFile::remove(stampFile);
            state.toggleRecording();
            t.fakes.audioInput->pushSamples(tone(seconds));
            state.toggleRecording();
            QEventLoop loop;
            QObject::connect(&state, &AppState::statusChanged, &loop, [&] {
                if (state.status().kind() == CaptureStatus::Kind::Success || state.status().kind() == CaptureStatus::Kind::Error)
                    loop.quit();
            });
            QTimer::singleShot(300000, &loop, &QEventLoop::quit);
            loop.exec();
            if (state.status().kind() != CaptureStatus::Kind::Success || keystroke == 0) {
                std::fprintf(stderr, "run %d did not paste: %s\n", run, qPrintable(state.status().text()));
                return 1;
            }
            const qint64 ended = readFile(stampFile).trimmed().toLongLong();
            ownCost.append((keystroke - ended) / 1e6 - settle);
            t.timers.advance(std::chrono::seconds(10)); // the overlay hide and the restore
        }
        std::printf("%-10s %15.0f ms %27.2f ms\n", qPrintable(QStringLiteral("%1 s").arg(seconds)), median(alone),
                    median(ownCost));
    }
    std::printf("\nthe paste's settle of %.0f ms is left out; the wrapper's own stamp (a date process) is in\n",
                settle);
    return 0;
}
