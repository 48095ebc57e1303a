// The built program killed with SIGKILL at random points while it dictates, saves its
// history and runs a Command, and started again each time: every store still loads,
// nothing but the work in flight is missing, and no temporary copy of a save is left.
// The kill points are random moments after an event (the recording started, the
// dictation or the Command was stopped); the seed is printed so a run can be repeated
// (SORVANE_KILL_MATRIX_SEED).
#include "Dictation/SpeechModel.h"
#include "Dictation/HistoryItem.h"
#include "Platform/SettingsStore.h"
#include "Shared/AppPaths.h"
#include "E2eTools.h"
#include "TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString transcript = QStringLiteral("Killed or not, this is kept.");
constexpr int rounds = 8;
constexpr int seededRecords = 4000;

} // namespace

class KillMatrixTest : public QObject {
    Q_OBJECT

    QString sink;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QProcess> sorvane;
    int starts = 0;
    QString agentLog;

    QString dataHome() const { return home->filePath(QStringLiteral("data")); }
    QString configHome() const { return home->filePath(QStringLiteral("config")); }

    void startSorvane()
    {
        sorvane = std::make_unique<QProcess>();
        agentLog = home->filePath(QStringLiteral("agent-%1.log").arg(++starts));
        // The fake runtime answers the spoken instruction ("stream", as the engine hears it).
        QProcessEnvironment environment = sorvaneEnvironment(dataHome(), configHome(), transcript, agentLog);
        sorvane->setProcessEnvironment(environment);
        sorvane->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sorvane->setStandardOutputFile(QProcess::nullDevice());
        sorvane->start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(sorvane->waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(agentLog).contains("\"start\""), 20000);
        // Every start opens the main window: once it is up it no longer takes the focus
        // from the window the test brings forward next. Only a wait: what is checked is
        // the stores, and the target is brought forward until it is in front anyway.
        QTest::qWaitFor([&] { return shownWindowOf(sorvane->processId()) != 0; }, 20000);
    }

    void killSorvane()
    {
        ::kill(pid_t(sorvane->processId()), SIGKILL);
        QVERIFY(sorvane->waitForFinished(10000));
        sorvane.reset();
        runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt+shift+space")});
    }

    quint64 activeWindow()
    {
        const auto window = runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
        return window ? window->trimmed().toULongLong() : 0;
    }

    // Presses the shortcut in the target window and waits until the microphone is read.
    void startListening(const TargetWindow &target, const QString &keys)
    {
        // Whatever window the program may have opened meanwhile, the target is in front.
        QTRY_VERIFY_WITH_TIMEOUT(
            runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QString::number(target.window)})
                && activeWindow() == target.window,
            20000);
        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
    }

    // Every stored file reads whole, and it holds at least what it held before.
    void checkStores(QSet<QString> &history, QSet<QString> &conversations)
    {
        const auto historyNow = storedIds(AppPaths::history());
        QVERIFY2(historyNow, "the history does not load");
        QVERIFY2(historyNow->contains(history), "a dictation saved before is missing");
        QVERIFY(historyNow->size() <= history.size() + 1);
        history = *historyNow;
        const auto conversationsNow = storedIds(AppPaths::agentConversations());
        QVERIFY2(conversationsNow, "the conversations do not load");
        QVERIFY2(conversationsNow->contains(conversations), "a conversation saved before is missing");
        QVERIFY(conversationsNow->size() <= conversations.size() + 1);
        conversations = *conversationsNow;
        QVERIFY(JsonFileSettingsStore::decodeContents(readFile(configHome() + QStringLiteral("/Sorvane/settings.json"))));
    }

    // Nothing set aside and, once the program has started again, no copy of a save.
    void checkNothingLeft()
    {
        const QStringList left = leftOverOrSetAside({dataHome() + QStringLiteral("/Sorvane"), configHome() + QStringLiteral("/Sorvane")},
                                                    AppPaths::isLeftOverSaveCopy);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        sink = qEnvironmentVariable("SORVANE_TEST_PULSE_SINK");
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl", "dbus-send"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        // Command reads the selection through the accessibility bus.
        QVERIFY(accessibilityBusOn());
    }

    void cleanup()
    {
        if (sorvane)
            stopProgram(*sorvane);
        sorvane.reset();
        runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt+space")});
        runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt+shift+space")});
    }

    void killedAtRandomPointsLosesNothingButTheWorkInFlight()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        QDir().mkpath(configHome() + QStringLiteral("/Sorvane"));
        {
            JsonFileSettingsStore settings(configHome() + QStringLiteral("/Sorvane/settings.json"));
            settings.setValue(QStringLiteral("onboardingComplete"), true);
            settings.setValue(QStringLiteral("selectedModelID"), QStringLiteral("pocket"));
            settings.setValue(QStringLiteral("automaticPaste"), true);
            settings.setValue(QStringLiteral("completionSoundEnabled"), false);
        }
        useDataHome(dataHome());
        QVERIFY(writeFile(AppPaths::models() + QLatin1Char('/') + SpeechModel::find(QStringLiteral("pocket"))->fileName,
                          "weights"));
        // A history long enough that its saves take a while: kills land inside them.
        QJsonArray earlier;
        for (int i = 0; i < seededRecords; ++i)
            earlier.append(HistoryItem::make(QDateTime::currentDateTimeUtc().addSecs(-60 - i),
                                             QString(300, QLatin1Char('w')), 2, QStringLiteral("pocket")).toJson());
        QVERIFY(writeFile(AppPaths::history(), QJsonDocument(earlier).toJson()));
        const QString tone = home->filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(tone));

        const quint32 seed = qEnvironmentVariableIsSet("SORVANE_KILL_MATRIX_SEED")
            ? quint32(qEnvironmentVariableIntValue("SORVANE_KILL_MATRIX_SEED"))
            : QRandomGenerator::system()->generate();
        qInfo("kill matrix seed: %u", seed);
        QRandomGenerator random(seed);

        QSet<QString> history = *storedIds(AppPaths::history());
        QCOMPARE(history.size(), seededRecords);
        QSet<QString> conversations;
        startSorvane();
        for (int round = 0; round < rounds; ++round) {
            const bool command = random.bounded(3) == 0;
            const bool duringRecording = random.bounded(4) == 0;
            const int delay = int(random.bounded(command ? 1500 : 600));
            qInfo("round %d: %s, killed %d ms after %s", round, command ? "Command" : "Dictation", delay,
                  duringRecording ? "the recording started" : "it was stopped");

            TargetWindow target;
            QVERIFY2(command ? target.start(QStringLiteral("Dear team, the meeting moves."), 11, 17, true) : target.start(),
                     "the target window did not become active");
            const QString keys = command ? QStringLiteral("alt+shift+space") : QStringLiteral("alt+space");
            startListening(target, keys);
            if (!duringRecording) {
                QCOMPARE(QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, tone}), 0);
                QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}));
            }
            // The kill point: a moment chosen at random, not a wait for a result.
            QTest::qWait(delay);
            killSorvane();

            checkStores(history, conversations);
            const QStringList cutShort = QDir(dataHome() + QStringLiteral("/Sorvane")).entryList(QDir::Files | QDir::Hidden);
            for (const QString &name : cutShort)
                if (AppPaths::isLeftOverSaveCopy(name))
                    qInfo("the kill cut a save short: %s", qPrintable(name));
            startSorvane();
            checkNothingLeft();
            checkStores(history, conversations);
        }
        // The last round's program still dictates, and keeps it.
        TargetWindow target;
        QVERIFY(target.start());
        startListening(target, QStringLiteral("alt+space"));
        QCOMPARE(QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, tone}), 0);
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+space")}));
        QTRY_COMPARE_WITH_TIMEOUT(target.text, transcript, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(storedIds(AppPaths::history()).value_or(QSet<QString>()).size() == history.size() + 1, 20000);
    }
};

QTEST_GUILESS_MAIN(KillMatrixTest)
#include "tst_kill_matrix_e2e.moc"
