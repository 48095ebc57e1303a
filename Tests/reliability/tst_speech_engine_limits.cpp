#include "Platform/ChildProcess.h"
#include "Services/Dictation/WavFileWriter.h"
#include "Services/Dictation/WhisperRunner.h"
#include "AwaitTask.h"
#include "ProcessLiveness.h"
#include "TestPaths.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using namespace std::chrono_literals;

namespace {

const char *const engineVariables[] = {"FAKE_SPEECH_ENGINE_HOLD", "FAKE_SPEECH_ENGINE_PID_FILE",
                                       "FAKE_SPEECH_ENGINE_HELPER_PID_FILE", "FAKE_SPEECH_ENGINE_FLOOD",
                                       "FAKE_SPEECH_ENGINE_ENVIRONMENT"};

qint64 pidIn(const QString &file)
{
    return readFile(file).trimmed().toLongLong();
}

} // namespace

class SpeechEngineLimitsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        for (const char *name : engineVariables)
            qunsetenv(name);
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        QVERIFY(QFile::link(testProgram(QStringLiteral("fake-speech-engine")), path("whisper-cli")));
        QVERIFY(writeFile(path("model.bin"), "weights"));
        QVERIFY(writeFile(path("recording.wav"), "hello there"));
    }

    void cleanup()
    {
        for (const char *name : engineVariables)
            qunsetenv(name);
    }

    void limitsFollowTheClipsLength_data()
    {
        QTest::addColumn<double>("clipSeconds");
        QTest::addColumn<qint64>("timeLimitMs");
        QTest::addColumn<qsizetype>("transcriptBytes");
        QTest::newRow("no clip: the floor") << 0.0 << qint64(120000) << qsizetype(65536);
        QTest::newRow("a short clip: still the floor") << 5.0 << qint64(120000) << qsizetype(65536 + 5120);
        QTest::newRow("ten minutes: ten times its length") << 600.0 << qint64(6000000) << qsizetype(65536 + 614400);
        QTest::newRow("unreadable length") << qQNaN() << qint64(120000) << qsizetype(65536);
        QTest::newRow("negative length") << -30.0 << qint64(120000) << qsizetype(65536);
    }

    void limitsFollowTheClipsLength()
    {
        QFETCH(double, clipSeconds);
        QFETCH(qint64, timeLimitMs);
        QFETCH(qsizetype, transcriptBytes);
        const WhisperRunner::Limits limits;
        QCOMPARE(limits.timeLimit(clipSeconds).count(), timeLimitMs);
        QCOMPARE(limits.transcriptLimit(clipSeconds), transcriptBytes);
    }

    void clipLengthIsReadFromTheRecording()
    {
        WavFileWriter writer;
        QVERIFY(writer.open(path("two-seconds.wav")));
        const QByteArray samples(64000, '\0'); // 16 kHz, 16-bit mono: two seconds
        QVERIFY(writer.write(samples.constData(), samples.size()));
        QVERIFY(writer.finish());
        QCOMPARE(WhisperRunner::clipSeconds(path("two-seconds.wav")), 2.0);
        QCOMPARE(WhisperRunner::clipSeconds(path("missing.wav")), 0.0);
    }

    void hungEngineIsStoppedWithItsProcessGroup()
    {
        qputenv("FAKE_SPEECH_ENGINE_HOLD", "1");
        qputenv("FAKE_SPEECH_ENGINE_PID_FILE", QFile::encodeName(path("engine.pid")));
        qputenv("FAKE_SPEECH_ENGINE_HELPER_PID_FILE", QFile::encodeName(path("helper.pid")));
        WhisperRunner::Limits limits;
        limits.timeFloor = 500ms;
        const auto result = awaitTask(runner(limits).transcribe(path("recording.wav"), model(), path("model.bin"), {}));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().kind(), SorvaneError::Kind::TranscriptionFailed);
        QCOMPARE(result.error().message(), QStringLiteral("The speech engine did not finish in time and was stopped."));
        // The engine and what it started are ended, not left running.
        const qint64 engine = pidIn(path("engine.pid"));
        const qint64 helper = pidIn(path("helper.pid"));
        QVERIFY(engine > 0 && helper > 0);
        QTRY_VERIFY(processGone(engine));
        QTRY_VERIFY(processGone(helper));
    }

    void theTimeLimitIsSaidInSeconds()
    {
        qputenv("FAKE_SPEECH_ENGINE_HOLD", "1");
        WhisperRunner::Limits limits;
        limits.timeFloor = 1s;
        const auto result = awaitTask(runner(limits).transcribe(path("recording.wav"), model(), path("model.bin"), {}));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().message(),
                 QStringLiteral("The speech engine did not finish within 1 second and was stopped."));
    }

    void floodingEngineIsAnEngineFailure_data()
    {
        QTest::addColumn<QByteArray>("flood");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("within the cap") << QByteArray("40000") << true;
        QTest::newRow("just past the cap") << QByteArray("131072") << false;
        QTest::newRow("a hundred megabytes") << QByteArray("100000000") << false;
    }

    void floodingEngineIsAnEngineFailure()
    {
        QFETCH(QByteArray, flood);
        QFETCH(bool, accepted);
        qputenv("FAKE_SPEECH_ENGINE_FLOOD", flood);
        const auto result = awaitTask(runner(WhisperRunner::Limits()).transcribe(path("recording.wav"), model(), path("model.bin"), {}));
        if (accepted) {
            QVERIFY(result.ok());
            QVERIFY(result.value().endsWith(QLatin1String("hello there")));
            QVERIFY(result.value().size() > 40000);
        } else {
            QVERIFY(!result.ok());
            QCOMPARE(result.error().kind(), SorvaneError::Kind::TranscriptionFailed);
            QCOMPARE(result.error().message(),
                     QStringLiteral("The speech engine gave far more text than the recording can hold and was stopped."));
        }
    }

    void childEnvironmentHasNoProviderKeys()
    {
        QProcessEnvironment given;
        for (const QString &name : providerVariables())
            given.insert(name, QStringLiteral("secret"));
        given.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin"));
        given.insert(QStringLiteral("OPENAI_AGENTS_DISABLE_TRACING"), QStringLiteral("1"));
        const QProcessEnvironment child = childEnvironment(given);
        QCOMPARE(child.keys(), (QStringList{QStringLiteral("OPENAI_AGENTS_DISABLE_TRACING"), QStringLiteral("PATH")}));
        for (const char *name : {"OPENAI_API_KEY", "GEMINI_API_KEY", "MISTRAL_API_KEY", "GOOGLE_API_KEY"})
            QVERIFY(providerVariables().contains(QString::fromLatin1(name)));
    }

    void providerKeysNeverReachTheSpeechEngine()
    {
        qputenv("FAKE_SPEECH_ENGINE_ENVIRONMENT", QFile::encodeName(path("environment")));
        for (const QString &name : providerVariables())
            qputenv(name.toLatin1().constData(), "sk-secret");
        const auto result = awaitTask(runner(WhisperRunner::Limits()).transcribe(path("recording.wav"), model(), path("model.bin"), {}));
        for (const QString &name : providerVariables())
            qunsetenv(name.toLatin1().constData());
        QVERIFY(result.ok());
        const QByteArray environment = readFile(path("environment"));
        QVERIFY(environment.contains("PATH="));
        QVERIFY2(!environment.contains("sk-secret"), environment.constData());
    }

    void detachedChildrenGetNoProviderKeys()
    {
        // A settings program or the relaunch after an update outlives this program; it
        // gets the same environment as every other child.
        qputenv("OPENAI_API_KEY", "sk-secret");
        qputenv("SORVANE_TEST_MARKER", "kept");
        const QString out = path("detached-environment");
        QVERIFY(startDetachedChild(QStringLiteral("/bin/sh"),
                                   {QStringLiteral("-c"), QStringLiteral("env > \"$1.partial\" && mv \"$1.partial\" \"$1\""),
                                    QStringLiteral("sh"), out}));
        qunsetenv("OPENAI_API_KEY");
        qunsetenv("SORVANE_TEST_MARKER");
        QTRY_VERIFY(QFile::exists(out));
        const QByteArray environment = readFile(out);
        QVERIFY(environment.contains("SORVANE_TEST_MARKER=kept"));
        QVERIFY2(!environment.contains("sk-secret"), environment.constData());
    }

private:
    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    static SpeechModel model() { return *SpeechModel::find(QStringLiteral("pocket")); }
    WhisperRunner runner(WhisperRunner::Limits limits) const
    {
        const QString engine = path("whisper-cli");
        return WhisperRunner([engine](SpeechEngine) { return std::optional<QString>(engine); }, limits);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(SpeechEngineLimitsTest)
#include "tst_speech_engine_limits.moc"
