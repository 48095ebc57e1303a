#include "ProcessLiveness.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

using namespace sorvane::testing;

// A child that outlives Sorvane (a speech engine at full speed, a runtime holding a
// model in memory) goes on using the computer for nothing; killing Sorvane by a
// signal it cannot catch must still end it.
class ChildrenEndWithTheProgramTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QProcess probe;
    qint64 childPid = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        for (const char *program : {"orphan-probe", "fake-speech-engine", "fake-sorvane-agent"})
            QVERIFY2(QFileInfo(testProgram(QString::fromLatin1(program))).isExecutable(), program);
    }

    void cleanup()
    {
        if (probe.state() != QProcess::NotRunning) {
            probe.kill();
            probe.waitForFinished(10000);
        }
        // Whatever the outcome, nothing of this test may stay behind.
        if (isRunning(childPid))
            ::kill(pid_t(childPid), SIGKILL);
        childPid = 0;
    }

    void theSpeechEngineEndsWhenTheProgramIsKilled()
    {
        const QString pidFile = dir.filePath(QStringLiteral("engine.pid"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("model.bin")), "weights"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("recording.wav")), "hello"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FAKE_SPEECH_ENGINE_HOLD"), QStringLiteral("1"));
        environment.insert(QStringLiteral("FAKE_SPEECH_ENGINE_PID_FILE"), pidFile);
        probe.setProcessEnvironment(environment);
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.start(testProgram(QStringLiteral("orphan-probe")),
                    {QStringLiteral("engine"), testProgram(QStringLiteral("fake-speech-engine")),
                     dir.filePath(QStringLiteral("recording.wav")), dir.filePath(QStringLiteral("model.bin"))});
        QVERIFY(probe.waitForStarted(10000));
        // The engine has started transcribing once it wrote its process id.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pidFile), 20000);
        childPid = readFile(pidFile).trimmed().toLongLong();
        QVERIFY(isRunning(childPid));

        ::kill(pid_t(probe.processId()), SIGKILL);
        QVERIFY(probe.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!isRunning(childPid), 20000);
    }

    void theRuntimeEndsWhenTheProgramIsKilled()
    {
        const QString log = dir.filePath(QStringLiteral("agent.log"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SORVANE_FAKE_AGENT_LOG"), log);
        probe.setProcessEnvironment(environment);
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.start(testProgram(QStringLiteral("orphan-probe")),
                    {QStringLiteral("runtime"), testProgram(QStringLiteral("fake-sorvane-agent")),
                     // Busy for ten minutes: only a signal ends it before then.
                     QStringLiteral("slow-load delay=600000")});
        QVERIFY(probe.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(probe.canReadLine(), 20000);
        childPid = probe.readLine().trimmed().toLongLong();
        QVERIFY(isRunning(childPid));
        // Killed only once the runtime is working on the request.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(log).contains("\"request\""), 20000);

        ::kill(pid_t(probe.processId()), SIGKILL);
        QVERIFY(probe.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!isRunning(childPid), 20000);
        // It was asked to stop rather than killed, so it could end what it started.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(log).contains("\"terminated\""), 20000);
    }
};

QTEST_GUILESS_MAIN(ChildrenEndWithTheProgramTest)
#include "tst_children_end_with_the_program.moc"
