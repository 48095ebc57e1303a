// The built program, dictating into another application on the test session's X
// display, with the test microphone of its PulseAudio daemon and the fake speech
// engine: toggle, speak, toggle, and the text arrives in the other window.
#include "Shared/AppPaths.h"
#include "Services/Dictation/AudioRecorder.h"
#include "Platform/SettingsStore.h"
#include "Dictation/SpeechModel.h"
#include "TestPaths.h"
#include "E2eTools.h"
#include "../dictation/WavFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <csignal>
#include <memory>
#include <unistd.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString transcript = QStringLiteral("Hello from the test microphone.");
const QString earlierClipboard = QStringLiteral("what the user had copied");
constexpr unsigned spaceKeyCode = 65; // the evdev numbering of the test display
// Long enough to see the dictated text on the clipboard before the earlier one is back.
constexpr int restoreDelaySeconds = 5;

int s_lastError = 0;
int recordError(Display *, XErrorEvent *event)
{
    s_lastError = event->error_code;
    return 0;
}

} // namespace

class DictationEndToEndTest : public QObject {
    Q_OBJECT

    Display *display = nullptr;
    QString sink;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QProcess> sorvane;
    QString audioCopy;
    QString enginePidFile;
    int starts = 0;

    QString dataHome() const { return home->filePath(QStringLiteral("data")); }
    QString configHome() const { return home->filePath(QStringLiteral("config")); }

    // Whether another client (Sorvane) holds Alt+Space on the root window.
    bool toggleIsGrabbed()
    {
        s_lastError = 0;
        const Window root = DefaultRootWindow(display);
        XErrorHandler previous = XSetErrorHandler(recordError);
        XGrabKey(display, int(spaceKeyCode), Mod1Mask, root, False, GrabModeAsync, GrabModeAsync);
        XSync(display, False);
        const bool taken = s_lastError == BadAccess;
        if (!taken)
            XUngrabKey(display, int(spaceKeyCode), Mod1Mask, root);
        XSync(display, False);
        XSetErrorHandler(previous);
        return taken;
    }

    QString clipboard()
    {
        const auto text = runTool(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                            QStringLiteral("clipboard")});
        return text ? QString::fromUtf8(*text) : QString();
    }

    bool pressToggle()
    {
        return runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+space")}).has_value();
    }

    void startSorvane(const QProcessEnvironment &extra = {})
    {
        sorvane = std::make_unique<QProcess>();
        // The program starts its runtime right after it registered its shortcuts.
        const QString agentLog = home->filePath(QStringLiteral("agent-%1.log").arg(++starts));
        QProcessEnvironment environment = sorvaneEnvironment(dataHome(), configHome(), transcript, agentLog);
        environment.insert(QStringLiteral("FAKE_SPEECH_ENGINE_AUDIO_COPY"), audioCopy);
        environment.insert(QStringLiteral("FAKE_SPEECH_ENGINE_PID_FILE"), enginePidFile);
        environment.insert(extra);
        sorvane->setProcessEnvironment(environment);
        sorvane->setProcessChannelMode(QProcess::ForwardedChannels);
        sorvane->start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(sorvane->waitForStarted(10000));
        // Ready for the toggle once the runtime has started. Only then is the grab
        // checked: a check while the program registers could take the keys from it.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(agentLog).contains("\"start\""), 20000);
        QVERIFY(toggleIsGrabbed());
        // Every start opens the main window: once it is up it no longer takes the focus
        // from the window the test brings forward next.
        QTRY_VERIFY_WITH_TIMEOUT(shownWindowOf(sorvane->processId()) != 0, 20000);
    }

    void stopSorvane()
    {
        if (!sorvane)
            return;
        stopProgram(*sorvane);
        sorvane.reset();
    }

    quint64 activeWindow()
    {
        const auto window = runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
        return window ? window->trimmed().toULongLong() : 0;
    }

    // Toggle in the target window, a tone into the test microphone, toggle.
    void dictate(const TargetWindow &target)
    {
        // Whatever window the program may have opened meanwhile, the target is in front.
        QTRY_VERIFY_WITH_TIMEOUT(
            runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QString::number(target.window)})
                && activeWindow() == target.window,
            20000);
        const QString tone = home->filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(tone));
        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(pressToggle());
        // Recording once Sorvane's stream reads from the microphone.
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
        // The overlay shows the recording, and the target keeps the keyboard focus.
        QTRY_VERIFY_WITH_TIMEOUT(runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                                     QStringLiteral("--name"), QStringLiteral("^Sorvane overlay$")}),
                                 20000);
        QCOMPARE(activeWindow(), target.window);
        QCOMPARE(QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, tone}), 0);
        QVERIFY(pressToggle());
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        sink = qEnvironmentVariable("SORVANE_TEST_PULSE_SINK");
        for (const char *tool : {"xdotool", "xclip", "sox", "paplay", "pactl"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        for (const QString &program : QStringList{buildDirectory() + QStringLiteral("/bin/sorvane"),
                                       testProgram(QStringLiteral("fake-speech-engine")),
                                       testProgram(QStringLiteral("capture-fixture"))})
            QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
        display = XOpenDisplay(nullptr);
        QVERIFY(display);
    }

    void cleanupTestCase()
    {
        if (display)
            XCloseDisplay(display);
    }

    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        audioCopy = home->filePath(QStringLiteral("engine-audio.wav"));
        enginePidFile = home->filePath(QStringLiteral("engine.pid"));

        // A finished onboarding, automatic paste with the clipboard put back soon after.
        QDir().mkpath(configHome() + QStringLiteral("/Sorvane"));
        JsonFileSettingsStore settings(configHome() + QStringLiteral("/Sorvane/settings.json"));
        settings.setValue(QStringLiteral("onboardingComplete"), true);
        settings.setValue(QStringLiteral("selectedModelID"), QStringLiteral("pocket"));
        settings.setValue(QStringLiteral("automaticPaste"), true);
        settings.setValue(QStringLiteral("clipboardRestoreEnabled"), true);
        settings.setValue(QStringLiteral("clipboardRestoreDelay"), qint64(restoreDelaySeconds));
        settings.setValue(QStringLiteral("completionSoundEnabled"), false);

        // The selected speech model is downloaded.
        useDataHome(dataHome());
        const SpeechModel *model = SpeechModel::find(QStringLiteral("pocket"));
        QVERIFY(model);
        QVERIFY(writeFile(AppPaths::models() + QLatin1Char('/') + model->fileName, "weights"));
    }

    void cleanup()
    {
        stopSorvane();
        if (QFile::exists(enginePidFile)) {
            const qint64 pid = readFile(enginePidFile).trimmed().toLongLong();
            if (isRunning(pid))
                ::kill(pid_t(pid), SIGKILL);
        }
        runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt+space")});
    }

    void dictatesIntoTheApplicationInFront()
    {
        QVERIFY(runTool(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard")},
                        earlierClipboard.toUtf8()));
        QTRY_COMPARE_WITH_TIMEOUT(clipboard(), earlierClipboard, 10000);

        startSorvane();
        TargetWindow target;
        QVERIFY2(target.start(), "the target window did not become active");
        dictate(target);

        QTRY_COMPARE_WITH_TIMEOUT(target.text, transcript, 20000);
        QCOMPARE(clipboard(), transcript);

        // The engine was given the recording of the microphone, tone included.
        const auto wav = WavFile::read(audioCopy);
        QVERIFY2(wav, "the engine got no WAV recording");
        QCOMPARE(wav->sampleRate, 16000u);
        double loudest = -200;
        for (qsizetype at = 0; at + 1600 <= wav->samples.size(); at += 1600)
            loudest = std::max(loudest, AudioRecorder::averagePower(wav->samples.constData() + at, 1600));
        QVERIFY2(loudest > -20, qPrintable(QStringLiteral("loudest tenth of a second: %1 dB").arg(loudest)));

        // The dictation is in the history, and its recording is gone.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(AppPaths::history()), 20000);
        QJsonArray history;
        QTRY_VERIFY_WITH_TIMEOUT((history = QJsonDocument::fromJson(readFile(AppPaths::history())).array()).size() == 1,
                                 20000);
        const QJsonObject record = history.at(0).toObject();
        QCOMPARE(record.value(QStringLiteral("text")).toString(), transcript);
        QCOMPARE(record.value(QStringLiteral("modelID")).toString(), QStringLiteral("pocket"));
        QVERIFY(record.value(QStringLiteral("duration")).toDouble() >= 1.0);
        QVERIFY(!record.contains(QStringLiteral("audioFileName")));
        QTRY_VERIFY_WITH_TIMEOUT(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty(), 20000);

        // The earlier clipboard comes back after the delay.
        QTRY_COMPARE_WITH_TIMEOUT(clipboard(), earlierClipboard, (restoreDelaySeconds + 20) * 1000);
    }

    void noEngineOutlivesSorvaneKilledWhileItTranscribes()
    {
        QProcessEnvironment hold;
        hold.insert(QStringLiteral("FAKE_SPEECH_ENGINE_HOLD"), QStringLiteral("1"));
        startSorvane(hold);
        TargetWindow target;
        QVERIFY2(target.start(), "the target window did not become active");
        dictate(target);

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(enginePidFile), 20000);
        const qint64 engine = readFile(enginePidFile).trimmed().toLongLong();
        QVERIFY(isRunning(engine));
        ::kill(pid_t(sorvane->processId()), SIGKILL);
        QVERIFY(sorvane->waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!isRunning(engine), 20000);

        // The recording it left is removed when the program starts again.
        QVERIFY(!QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty());
        startSorvane();
        QTRY_VERIFY_WITH_TIMEOUT(QDir(AppPaths::temporaryRecordings()).entryList(QDir::Files).isEmpty(), 20000);
    }

    // The whisper-cli the set-up ships, found by the program's own lookup, with the test
    // model that hears one word in every recording in place of the selected model.
    void dictatesWithTheShippedEngine()
    {
        const QString engine = buildDirectory() + QStringLiteral("/libexec/sorvane/whisper-cli");
        QVERIFY2(QFileInfo(engine).isExecutable(), qPrintable(engine + QStringLiteral(" is missing: scripts/build.sh builds it")));
        const QString heard = QStringLiteral("Marmalade");
        const QString rigged = qEnvironmentVariable("SORVANE_TEST_MODELS_DIR") + QStringLiteral("/whisper-marmalade.bin");
        QVERIFY2(QFileInfo(rigged).isFile(), qPrintable(rigged));
        const QString installed = AppPaths::models() + QLatin1Char('/') + SpeechModel::find(QStringLiteral("pocket"))->fileName;
        QVERIFY(QFile::remove(installed));
        QVERIFY(QFile::link(rigged, installed));

        QProcessEnvironment shipped;
        shipped.insert(QStringLiteral("SORVANE_WHISPER_CLI_PATH"), QString()); // empty counts as unset
        startSorvane(shipped);
        TargetWindow target;
        QVERIFY2(target.start(), "the target window did not become active");
        dictate(target);

        QTRY_COMPARE_WITH_TIMEOUT(target.text, heard, 60000);
        QJsonArray history;
        QTRY_VERIFY_WITH_TIMEOUT((history = QJsonDocument::fromJson(readFile(AppPaths::history())).array()).size() == 1,
                                 20000);
        QCOMPARE(history.at(0).toObject().value(QStringLiteral("text")).toString(), heard);
    }
};

QTEST_GUILESS_MAIN(DictationEndToEndTest)
#include "tst_dictation_e2e.moc"
