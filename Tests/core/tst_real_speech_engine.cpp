// Transcribes a spoken sentence with a real whisper-cli and model, when the environment
// names them:
//   SORVANE_TEST_WHISPER_CLI=/path/to/whisper-cli
//   SORVANE_TEST_WHISPER_MODEL=/path/to/ggml-tiny.en-q5_1.bin
//   SORVANE_TEST_WHISPER_CHECK_WORDS=1   also compare the words heard with the words spoken
// Without them the test is reported as skipped.

#include "Services/Dictation/WhisperRunner.h"
#include "AwaitTask.h"
#include "TestPaths.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString sentence = QStringLiteral("The weather is nice today.");

QStringList wordsOf(const QString &text)
{
    static const QRegularExpression nonWord(QStringLiteral("[^\\p{L}\\p{N}']+"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return text.toLower().split(nonWord, Qt::SkipEmptyParts);
}

// Runs a helper program to its end; the failure text when it does not succeed.
QString runTool(const QString &name, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty())
        return name + QStringLiteral(" is not installed (see scripts/packages-test.txt)");
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return name + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    return {};
}

} // namespace

class RealSpeechEngineTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_engine = qEnvironmentVariable("SORVANE_TEST_WHISPER_CLI");
        m_model = qEnvironmentVariable("SORVANE_TEST_WHISPER_MODEL");
        if (m_engine.isEmpty() || m_model.isEmpty())
            exitSkipped(QStringLiteral("set SORVANE_TEST_WHISPER_CLI and SORVANE_TEST_WHISPER_MODEL to run a real engine"));
        QVERIFY2(QFileInfo(m_engine).isExecutable(), qPrintable(m_engine + " is not an executable file"));
        QVERIFY2(QFileInfo(m_model).isFile(), qPrintable(m_model + " is not a file"));
    }

    void transcribesASpokenSentence()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString spoken = dir.filePath(QStringLiteral("spoken.wav"));
        const QString recording = dir.filePath(QStringLiteral("recording.wav"));
        QString failure = runTool(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), spoken, sentence});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        // What the recorder writes: 16 kHz, mono, 16-bit.
        failure = runTool(QStringLiteral("sox"), {spoken, QStringLiteral("-r"), QStringLiteral("16000"),
                                                  QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"),
                                                  QStringLiteral("16"), recording});
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        const QString engine = m_engine;
        const WhisperRunner runner([engine](SpeechEngine) { return std::optional<QString>(engine); });
        QList<double> progress;
        const auto result = awaitTask(runner.transcribe(recording, *SpeechModel::find(QStringLiteral("pocket")),
                                                          m_model, {},
                                                          [&progress](double value) { progress.append(value); }));
        QVERIFY2(result.ok(), result.ok() ? "" : qPrintable(result.error().message()));
        qInfo() << "heard:" << result.value() << "progress:" << progress;
        QVERIFY(!result.value().trimmed().isEmpty());
        // The first value is the runner's own start; the engine must have reported after it.
        QVERIFY2(progress.size() >= 2, "the engine reported no progress");

        if (qEnvironmentVariable("SORVANE_TEST_WHISPER_CHECK_WORDS") == QLatin1String("1"))
            QCOMPARE(wordsOf(result.value()), wordsOf(sentence));
    }

private:
    QString m_engine;
    QString m_model;
};

QTEST_GUILESS_MAIN(RealSpeechEngineTest)
#include "tst_real_speech_engine.moc"
