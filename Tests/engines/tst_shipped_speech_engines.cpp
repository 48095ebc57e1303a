// The speech engines the set-up builds (whisper-cli and parakeet-cli in libexec/sorvane/),
// run by the runner as the program runs them, on the tiny models the fixture made: a
// whisper model that hears "Marmalade" in every clip, and whisper.cpp's parakeet test model,
// which hears nothing.

#include "Services/Dictation/WhisperRunner.h"
#include "AwaitTask.h"
#include "ProcessLiveness.h"
#include "TestPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <unistd.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString heardWord = QStringLiteral("Marmalade");

QString shippedEngine(const QString &name)
{
    return buildDirectory() + QStringLiteral("/libexec/sorvane/") + name;
}

QString testModel(const QString &name)
{
    return qEnvironmentVariable("SORVANE_TEST_MODELS_DIR") + QLatin1Char('/') + name;
}

// What the recorder writes (16 kHz, mono, 16-bit): a tone for the given seconds.
bool writeClip(const QString &path, double seconds)
{
    return QProcess::execute(QStringLiteral("sox"),
                             {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("16000"), QStringLiteral("-c"),
                              QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"), path,
                              QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"),
                              QStringLiteral("440"), QStringLiteral("vol"), QStringLiteral("0.5")})
        == 0;
}

} // namespace

class ShippedSpeechEnginesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_clip;
    QProcess m_probe;
    qint64 m_engine = 0;

    static const SpeechModel &model(const char *id) { return *SpeechModel::find(QString::fromLatin1(id)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The set-up always builds them; without them this build is broken, not lighter.
        for (const char *engine : {"whisper-cli", "parakeet-cli"})
            QVERIFY2(QFileInfo(shippedEngine(QString::fromLatin1(engine))).isExecutable(),
                     qPrintable(shippedEngine(QString::fromLatin1(engine))
                                + QStringLiteral(" is missing: scripts/build.sh builds it")));
        for (const char *file : {"whisper-marmalade.bin", "parakeet-test.bin"})
            QVERIFY2(QFileInfo(testModel(QString::fromLatin1(file))).isFile(), file);
        m_clip = m_dir.filePath(QStringLiteral("clip.wav"));
        QVERIFY(writeClip(m_clip, 3));
    }

    void cleanup()
    {
        if (m_probe.state() != QProcess::NotRunning) {
            m_probe.kill();
            m_probe.waitForFinished(10000);
        }
        if (isRunning(m_engine))
            ::kill(pid_t(m_engine), SIGKILL);
        m_engine = 0;
    }

    void theProgramsOwnLookupFindsTheShippedEngines()
    {
        // The tests live in <build>/tests/, beside bin/: the lookup sees the same libexec/sorvane/.
        qunsetenv("SORVANE_WHISPER_CLI_PATH");
        qunsetenv("SORVANE_PARAKEET_CLI_PATH");
        QCOMPARE(WhisperRunner::locateEngine(SpeechEngine::Whisper), std::optional(shippedEngine(QStringLiteral("whisper-cli"))));
        QCOMPARE(WhisperRunner::locateEngine(SpeechEngine::Parakeet), std::optional(shippedEngine(QStringLiteral("parakeet-cli"))));
    }

    void whisperHearsTheModelsWord()
    {
        const WhisperRunner runner;
        QList<double> progress;
        const auto result = awaitTask(runner.transcribe(m_clip, model("pocket"), testModel(QStringLiteral("whisper-marmalade.bin")),
                                                        {}, [&progress](double value) { progress.append(value); }));
        QVERIFY2(result.ok(), result.ok() ? "" : qPrintable(result.error().message()));
        QCOMPARE(result.value(), heardWord);
        // The runner's own start, then the engine's reports read from its standard error.
        QVERIFY2(progress.size() >= 2, "the engine reported no progress");
        QCOMPARE(progress.last(), WhisperRunner::progressFraction(100));
    }

    void theVocabularySpellsTheEnginesWord()
    {
        const WhisperRunner runner;
        const auto result = awaitTask(runner.transcribe(m_clip, model("pocket"), testModel(QStringLiteral("whisper-marmalade.bin")),
                                                        {QStringLiteral("MARMALADE")}));
        QVERIFY2(result.ok(), result.ok() ? "" : qPrintable(result.error().message()));
        QCOMPARE(result.value(), QStringLiteral("MARMALADE"));
    }

    void parakeetsEmptyTranscriptIsNoSpeech()
    {
        const WhisperRunner runner;
        const auto result = awaitTask(runner.transcribe(m_clip, model("velocity"), testModel(QStringLiteral("parakeet-test.bin")), {}));
        QVERIFY(!result.ok());
        QCOMPARE(result.error(), SorvaneError::emptyTranscript());
    }

    void aDamagedModelFailsWithTheEnginesLastLines_data()
    {
        QTest::addColumn<QString>("modelID");
        QTest::addColumn<QString>("source"); // the good model it is cut from; empty: not a model at all
        QTest::addColumn<qint64>("keptBytes");
        QTest::newRow("whisper, cut short") << QStringLiteral("pocket") << QStringLiteral("whisper-marmalade.bin") << qint64(1 << 20);
        QTest::newRow("whisper, not a model") << QStringLiteral("pocket") << QString() << qint64(0);
        QTest::newRow("parakeet, cut short") << QStringLiteral("velocity") << QStringLiteral("parakeet-test.bin") << qint64(4096);
    }

    void aDamagedModelFailsWithTheEnginesLastLines()
    {
        QFETCH(QString, modelID);
        QFETCH(QString, source);
        QFETCH(qint64, keptBytes);
        const QString damaged = m_dir.filePath(QStringLiteral("damaged.bin"));
        QFile::remove(damaged);
        QByteArray bytes = "<html>This is not a model.</html>\n";
        if (!source.isEmpty()) {
            QFile good(testModel(source));
            QVERIFY(good.open(QIODevice::ReadOnly));
            bytes = good.read(keptBytes);
            QCOMPARE(bytes.size(), keptBytes);
        }
        QVERIFY(writeFile(damaged, bytes));
        const SpeechModel &speechModel = *SpeechModel::find(modelID);

        // What the engine itself says when given the same command line.
        QProcess direct;
        direct.start(WhisperRunner::locateEngine(speechModel.engine).value(),
                     WhisperRunner::arguments(speechModel, damaged, m_clip, {},
                                              WhisperRunner::threadCount(QThread::idealThreadCount())));
        QVERIFY(direct.waitForFinished(120000));
        QVERIFY(direct.exitCode() != 0);
        const QString engineSays = WhisperRunner::failureDetail(direct.readAllStandardError());
        QVERIFY2(engineSays.contains(QLatin1String("fail")), qPrintable(engineSays));

        const WhisperRunner runner;
        const auto result = awaitTask(runner.transcribe(m_clip, speechModel, damaged, {}));
        QVERIFY(!result.ok());
        QCOMPARE(result.error(), SorvaneError::transcriptionFailed(engineSays));
    }

    void noEngineStaysWhenTheProgramEndsMidTranscription()
    {
        // Long enough that the engine is still at work when the program is killed.
        const QString longClip = m_dir.filePath(QStringLiteral("long.wav"));
        QVERIFY(writeClip(longClip, 600));
        m_probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_probe.start(testProgram(QStringLiteral("orphan-probe")),
                      {QStringLiteral("engine"), shippedEngine(QStringLiteral("whisper-cli")), longClip,
                       testModel(QStringLiteral("whisper-marmalade.bin"))});
        QVERIFY(m_probe.waitForStarted(10000));
        QList<qint64> engines;
        QTRY_VERIFY_WITH_TIMEOUT(!(engines = childrenNamed(m_probe.processId(), QStringLiteral("whisper-cli"))).isEmpty(), 20000);
        m_engine = engines.first();

        ::kill(pid_t(m_probe.processId()), SIGKILL);
        QVERIFY(m_probe.waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(processGone(m_engine), 20000);
    }
};

QTEST_GUILESS_MAIN(ShippedSpeechEnginesTest)
#include "tst_shipped_speech_engines.moc"
