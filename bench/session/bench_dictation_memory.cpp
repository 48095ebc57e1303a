// Resident memory of the built program with no window open (started by its login item,
// with a panel's tray host on the session bus): once ready, and after each
// of ten dictations (Alt+Space pressed with XTest, a tone played into the test session's
// microphone, the fake speech engine), each one waited for in the history file. Runs
// in the test session (scripts/bench.sh session). Prints figures; asserts nothing.
#include "BenchTools.h"
#include "Dictation/SpeechModel.h"
#include "E2eTools.h"
#include "FakeTrayHost.h"
#include "Platform/SettingsStore.h"
#include "Shared/AppPaths.h"
#include "Shell/ShellLaunch.h"
#include "TestPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

using namespace sorvane;
using namespace sorvane::bench;
using namespace sorvane::testing;

namespace {

// Runs the event loop until `done` holds or `milliseconds` have passed.
bool waitFor(const std::function<bool()> &done, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void settle(int milliseconds)
{
    waitFor([] { return false; }, milliseconds);
}

qsizetype historyRecords()
{
    return QJsonDocument::fromJson(readFile(AppPaths::history())).array().size();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // <build>/bench/session/ holds this benchmark; the fakes are in <build>/tests/.
    if (qEnvironmentVariableIsEmpty("SORVANE_BUILD_DIR"))
        qputenv("SORVANE_BUILD_DIR", QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../..")).toUtf8());
    const QString sink = qEnvironmentVariable("SORVANE_TEST_PULSE_SINK");
    if (qEnvironmentVariableIsEmpty("DISPLAY") || sink.isEmpty()) {
        std::printf("needs the test session's display and microphone: run through scripts/bench.sh session\n");
        return 1;
    }
    QTemporaryDir home;
    const QString dataHome = home.filePath(QStringLiteral("data"));
    const QString configHome = home.filePath(QStringLiteral("config"));
    QDir().mkpath(configHome + QStringLiteral("/Sorvane"));
    {
        // A finished onboarding; the text stays on the clipboard, no sound is played.
        JsonFileSettingsStore settings(configHome + QStringLiteral("/Sorvane/settings.json"));
        settings.setValue(QStringLiteral("onboardingComplete"), true);
        settings.setValue(QStringLiteral("selectedModelID"), QStringLiteral("pocket"));
        settings.setValue(QStringLiteral("automaticPaste"), false);
        settings.setValue(QStringLiteral("completionSoundEnabled"), false);
    }
    useDataHome(dataHome);
    const SpeechModel *model = SpeechModel::find(QStringLiteral("pocket"));
    if (!model || !writeFile(AppPaths::models() + QLatin1Char('/') + model->fileName, "weights"))
        return 1;
    const QString tone = home.filePath(QStringLiteral("tone.wav"));
    if (!writeTone(tone)) {
        std::printf("could not write the tone (sox)\n");
        return 1;
    }

    // A panel's tray host, and the program started by its login item: no window opens.
    FakeTrayHost tray;
    if (!tray.start()) {
        std::printf("could not host a tray on the session bus\n");
        return 1;
    }
    QProcess sorvane;
    const QString agentLog = home.filePath(QStringLiteral("agent.log"));
    sorvane.setProcessEnvironment(
        sorvaneEnvironment(dataHome, configHome, QStringLiteral("A sentence heard by the fake engine."), agentLog));
    sorvane.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sorvane.start(buildDirectory() + QStringLiteral("/bin/sorvane"), {QLatin1String(autostartArgument)});
    // Ready once the runtime has started, right after the shortcuts were registered.
    if (!sorvane.waitForStarted(10000) || !waitFor([&] { return readFile(agentLog).contains("\"start\""); }, 20000)) {
        std::printf("the program did not get ready\n");
        return 1;
    }
    const qint64 pid = sorvane.processId();
    settle(2000);
    if (shownWindowOf(pid) != 0) {
        std::printf("the program opened a window\n");
        stopProgram(sorvane);
        return 1;
    }
    const double atStart = residentMiB(pid);

    constexpr int dictations = 10;
    QList<double> after;
    for (int n = 1; n <= dictations; ++n) {
        const int streams = recordingStreams();
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+space")});
        if (!waitFor([&] { return recordingStreams() > streams; }, 20000)) {
            std::printf("dictation %d did not start recording\n", n);
            break;
        }
        QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, tone});
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+space")});
        if (!waitFor([&] { return historyRecords() == n; }, 30000)) {
            std::printf("dictation %d did not reach the history\n", n);
            break;
        }
        settle(1500); // the overlay's success and its hiding
        after.append(residentMiB(pid));
    }
    stopProgram(sorvane);

    std::printf("resident memory of the program, no window open: %.1f MiB once ready\n", atStart);
    std::printf("  after each dictation, MiB:");
    for (double value : after)
        std::printf(" %.1f", value);
    std::printf("\n");
    if (after.size() == dictations) {
        bench::printFigure("resident memory, window closed, at start (real program)", {atStart}, "MiB", "<= 60");
        bench::printFigure("resident memory, window closed, after 10 dictations (real program)", {after.last()}, "MiB",
                           "<= 60");
    }
    return after.size() == dictations ? 0 : 1;
}
