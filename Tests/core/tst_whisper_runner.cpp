#include "Services/Dictation/WhisperRunner.h"
#include "AwaitTask.h"
#include "TestPaths.h"

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>

using namespace sorvane;
using namespace sorvane::testing;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

const char *const fakeVariables[] = {
    "FAKE_SPEECH_ENGINE_RECORD", "FAKE_SPEECH_ENGINE_PROGRESS", "FAKE_SPEECH_ENGINE_STDERR",
    "FAKE_SPEECH_ENGINE_EXIT_STATUS", "FAKE_SPEECH_ENGINE_ERROR_STATUS", "FAKE_SPEECH_ENGINE_SIGNAL",
    "FAKE_SPEECH_ENGINE_UNKNOWN", "FAKE_SPEECH_ENGINE_ENVIRONMENT", "OMP_WAIT_POLICY",
    "SORVANE_WHISPER_CLI_PATH", "SORVANE_PARAKEET_CLI_PATH"};

SpeechModel catalogModel(const char *id)
{
    const SpeechModel *model = SpeechModel::find(QString::fromLatin1(id));
    Q_ASSERT(model);
    return *model;
}

struct Run {
    std::optional<Result<QString, SorvaneError>> result;
    QList<double> progress;
    bool progressOffMainThread = false;
};

} // namespace

class WhisperRunnerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(testProgram("fake-speech-engine")).isExecutable(), "the fake engine is not built");
    }

    void init()
    {
        for (const char *name : fakeVariables)
            qunsetenv(name);
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        for (const char *name : {"whisper-cli", "parakeet-cli"})
            QVERIFY(QFile::link(testProgram("fake-speech-engine"), m_dir->filePath(QString::fromLatin1(name))));
        QVERIFY(writeFile(modelPath(), "weights"));
        qputenv("FAKE_SPEECH_ENGINE_RECORD", QFile::encodeName(recordPath()));
    }

    void cleanup()
    {
        for (const char *name : fakeVariables)
            qunsetenv(name);
    }

    // --- command line -------------------------------------------------------------

    void threadCount_data()
    {
        QTest::addColumn<int>("processors");
        QTest::addColumn<int>("threads");
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("2") << 2 << 2;
        QTest::newRow("4") << 4 << 2;
        QTest::newRow("6") << 6 << 4;
        QTest::newRow("10") << 10 << 8;
        QTest::newRow("12") << 12 << 8;
        QTest::newRow("unknown count") << 0 << 2;
    }

    void threadCount()
    {
        QFETCH(int, processors);
        QFETCH(int, threads);
        QCOMPARE(WhisperRunner::threadCount(processors), threads);
    }

    void arguments_data()
    {
        QTest::addColumn<QString>("modelId");
        QTest::addColumn<QStringList>("vocabulary");
        QTest::addColumn<QStringList>("arguments");
        const QStringList head{"--model", "/m/model.bin", "--file", "/a/rec.wav", "--no-timestamps", "--no-prints",
                               "--print-progress", "--language"};
        QTest::newRow("English-only whisper model")
            << "pocket" << QStringList{} << head + QStringList{"en", "--threads", "6", "--suppress-nst"};
        QTest::newRow("multilingual whisper model")
            << "balanced" << QStringList{} << head + QStringList{"auto", "--threads", "6", "--suppress-nst"};
        QTest::newRow("whisper with a vocabulary")
            << "swift" << QStringList{"Kubernetes", "K8s"}
            << head + QStringList{"en", "--threads", "6", "--suppress-nst", "--prompt", "Kubernetes, K8s"};
        QTest::newRow("parakeet takes no language and no prompt")
            << "velocity" << QStringList{"Kubernetes", "K8s"}
            << QStringList{"--model", "/m/model.bin", "--file", "/a/rec.wav", "--threads", "6", "--no-prints"};
    }

    void arguments()
    {
        QFETCH(QString, modelId);
        QFETCH(QStringList, vocabulary);
        QFETCH(QStringList, arguments);
        QCOMPARE(WhisperRunner::arguments(*SpeechModel::find(modelId), "/m/model.bin", "/a/rec.wav", vocabulary, 6),
                 arguments);
    }

    // --- progress lines -----------------------------------------------------------

    void latestProgress_data()
    {
        QTest::addColumn<QByteArray>("standardError");
        QTest::addColumn<std::optional<double>>("percent");
        const std::optional<double> none;
        QTest::newRow("engine line") << QByteArray("whisper_print_progress_callback: progress =  40%\n")
                                     << std::optional<double>(40);
        QTest::newRow("last line wins") << QByteArray("progress = 10%\nprogress = 20%\n") << std::optional<double>(20);
        QTest::newRow("past 100") << QByteArray("progress = 120%") << std::optional<double>(120);
        QTest::newRow("decimal") << QByteArray("progress = 12.5%") << std::optional<double>(12.5);
        QTest::newRow("blanks and tabs around the number")
            << QByteArray("progress =\t 40 \t%") << std::optional<double>(40);
        QTest::newRow("line without equals sign skipped")
            << QByteArray("progress = 30%\nprogress: 50\n") << std::optional<double>(30);
        QTest::newRow("percent before equals skipped")
            << QByteArray("progress = 30%\nprogress 50% = done\n") << std::optional<double>(30);
        QTest::newRow("no number skipped") << QByteArray("progress = 30%\nprogress = abc%\n")
                                           << std::optional<double>(30);
        QTest::newRow("not a number skipped") << QByteArray("progress = 30%\nprogress = nan%\n")
                                              << std::optional<double>(30);
        QTest::newRow("last equals and percent") << QByteArray("a=b progress = 5% = 6%") << std::optional<double>(6);
        QTest::newRow("word is case-sensitive") << QByteArray("Progress = 70%") << none;
        QTest::newRow("other lines") << QByteArray("done = 70%\nwhisper_init: loading model\n") << none;
        QTest::newRow("nothing yet") << QByteArray() << none;
        QTest::newRow("invalid UTF-8") << QByteArray("progress = 40%\n\xff\n") << none;
        QTest::newRow("carriage return") << QByteArray("progress = 10%\rprogress = 20%\r") << std::optional<double>(20);
        QTest::newRow("CR LF") << QByteArray("progress = 10%\r\nprogress = 20%\r\n") << std::optional<double>(20);
        QTest::newRow("vertical tab") << QByteArray("progress = 10%\vprogress = 20%") << std::optional<double>(20);
        QTest::newRow("form feed") << QByteArray("progress = 10%\fprogress = 20%") << std::optional<double>(20);
        QTest::newRow("next line") << QByteArray("progress = 10%\xc2\x85progress = 20%") << std::optional<double>(20);
        QTest::newRow("line separator") << QByteArray("progress = 10%\xe2\x80\xa8progress = 20%")
                                        << std::optional<double>(20);
        QTest::newRow("paragraph separator") << QByteArray("progress = 10%\xe2\x80\xa9progress = 20%")
                                             << std::optional<double>(20);
        // Without the break the two would be one line whose last "=" and "%" give 20 as well,
        // so check one where they differ.
        QTest::newRow("break separates a skipped line")
            << QByteArray("progress = 10%\xe2\x80\xa8progress: 50%") << std::optional<double>(10);
    }

    void latestProgress()
    {
        QFETCH(QByteArray, standardError);
        QFETCH(std::optional<double>, percent);
        QCOMPARE(WhisperRunner::latestWhisperProgress(standardError), percent);
    }

    void progressFraction_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<double>("fraction");
        QTest::newRow("40") << 40.0 << 0.4;
        QTest::newRow("100 stays below done") << 100.0 << 0.97;
        QTest::newRow("past 100") << 250.0 << 0.97;
        QTest::newRow("1 is the floor") << 1.0 << 0.02;
        QTest::newRow("negative") << -5.0 << 0.02;
    }

    void progressFraction()
    {
        QFETCH(double, percent);
        QFETCH(double, fraction);
        QCOMPARE(WhisperRunner::progressFraction(percent), fraction);
    }

    // --- vocabulary -----------------------------------------------------------------

    void vocabulary_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<QString>("corrected");
        QTest::newRow("term respelled") << "i use kubernetes daily" << QStringList{"Kubernetes"}
                                        << "i use Kubernetes daily";
        QTest::newRow("every occurrence") << "K8S and k8s." << QStringList{"K8s"} << "K8s and K8s.";
        QTest::newRow("letter after") << "kubernetesx" << QStringList{"Kubernetes"} << "kubernetesx";
        QTest::newRow("letter before") << "xkubernetes" << QStringList{"Kubernetes"} << "xkubernetes";
        QTest::newRow("digit after") << "k8s2 cluster" << QStringList{"K8s"} << "k8s2 cluster";
        QTest::newRow("letter of another script before")
            << QString::fromUtf8("Ökubernetes") << QStringList{"Kubernetes"} << QString::fromUtf8("Ökubernetes");
        QTest::newRow("punctuation is a boundary") << "(k8s-cluster)" << QStringList{"K8s"} << "(K8s-cluster)";
        QTest::newRow("case folding beyond ASCII")
            << QString::fromUtf8("ÜBER alles") << QStringList{QString::fromUtf8("Über")}
            << QString::fromUtf8("Über alles");
        QTest::newRow("longer term first")
            << "new york, york" << QStringList{"York", "New York"} << "New York, York";
        QTest::newRow("longer term first, then the shorter respells inside it")
            << "new york" << QStringList{"york", "New York"} << "New york";
        QTest::newRow("equal lengths keep their stored order")
            << "ab cd" << QStringList{"Ab Cd", "AB CD"} << "AB CD";
        QTest::newRow("pattern characters are literal") << "i write c++ and c" << QStringList{"C++"}
                                                        << "i write C++ and c";
        QTest::newRow("dot is no wildcard") << "node js or nodexjs" << QStringList{"node.js"} << "node js or nodexjs";
        QTest::newRow("replacement is literal") << "pay x$1 and y\\1" << QStringList{"X$1", "Y\\1"}
                                                << "pay X$1 and Y\\1";
        QTest::newRow("no vocabulary") << "as it was" << QStringList{} << "as it was";
        QTest::newRow("an empty term changes nothing") << "as it was" << QStringList{""} << "as it was";
    }

    void vocabulary()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, terms);
        QFETCH(QString, corrected);
        QCOMPARE(WhisperRunner::normalizeVocabulary(text, terms), corrected);
    }

    void failureDetail_data()
    {
        QTest::addColumn<QByteArray>("standardError");
        QTest::addColumn<QString>("detail");
        QTest::newRow("last two lines") << QByteArray("a\nb\nc\n") << "b c";
        QTest::newRow("empty lines dropped") << QByteArray("\n\na\n\n\nb\n\n") << "a b";
        QTest::newRow("one line") << QByteArray("only") << "only";
        QTest::newRow("nothing") << QByteArray() << "";
        QTest::newRow("invalid UTF-8") << QByteArray("a\n\xff\n") << "";
    }

    void failureDetail()
    {
        QFETCH(QByteArray, standardError);
        QFETCH(QString, detail);
        QCOMPARE(WhisperRunner::failureDetail(standardError), detail);
    }

    // --- runs of the fake engine ---------------------------------------------------

    void transcription_data()
    {
        QTest::addColumn<QString>("modelId");
        QTest::addColumn<QByteArray>("audio"); // the fake reads the transcript from the "recording"
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("vocabulary");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("text"); // transcript, or the error's message

        QTest::newRow("whisper transcript trimmed and respelled")
            << "pocket" << QByteArray("  i use kubernetes daily \n") << QStringList{} << QStringList{"Kubernetes"}
            << true << "i use Kubernetes daily";
        QTest::newRow("parakeet transcript respelled too")
            << "velocity" << QByteArray("i use kubernetes daily") << QStringList{} << QStringList{"Kubernetes"}
            << true << "i use Kubernetes daily";
        QTest::newRow("text beyond ASCII") << "balanced" << QByteArray("Grüße aus Köln") << QStringList{}
                                           << QStringList{} << true << QString::fromUtf8("Grüße aus Köln");
        QTest::newRow("no speech") << "pocket" << QByteArray("") << QStringList{} << QStringList{} << false
                                   << "No speech was detected.";
        QTest::newRow("only white space") << "velocity" << QByteArray(" \t \n") << QStringList{} << QStringList{}
                                          << false << "No speech was detected.";
        QTest::newRow("output not UTF-8 counts as empty")
            << "pocket" << QByteArray("caf\xc3") << QStringList{} << QStringList{} << false << "No speech was detected.";
        QTest::newRow("failure status: last two lines of standard error, output ignored")
            << "pocket" << QByteArray("some text")
            << QStringList{"FAKE_SPEECH_ENGINE_EXIT_STATUS=1", "FAKE_SPEECH_ENGINE_STDERR=a\nb\nc\n"}
            << QStringList{} << false << "b c";
        QTest::newRow("failure status without standard error")
            << "velocity" << QByteArray("some text") << QStringList{"FAKE_SPEECH_ENGINE_EXIT_STATUS=2"}
            << QStringList{} << false << "The local transcription failed.";
        QTest::newRow("killed by a signal after printing text")
            << "pocket" << QByteArray("some text")
            << QStringList{"FAKE_SPEECH_ENGINE_SIGNAL=" + QString::number(SIGTERM),
                           "FAKE_SPEECH_ENGINE_STDERR=engine stopped\n"}
            << QStringList{} << false << "engine stopped";
        QTest::newRow("killed by a signal, nothing said")
            << "velocity" << QByteArray("some text") << QStringList{"FAKE_SPEECH_ENGINE_SIGNAL=" + QString::number(SIGKILL)}
            << QStringList{} << false << "The local transcription failed.";
        QTest::newRow("older engine refuses an option with status 0")
            << "pocket" << QByteArray("some text") << QStringList{"FAKE_SPEECH_ENGINE_UNKNOWN=--suppress-nst"}
            << QStringList{} << false << "error: unknown argument: --suppress-nst";
        QTest::newRow("older engine refuses an option with a failure status")
            << "pocket" << QByteArray("some text")
            << QStringList{"FAKE_SPEECH_ENGINE_UNKNOWN=--suppress-nst", "FAKE_SPEECH_ENGINE_ERROR_STATUS=1"}
            << QStringList{} << false
            << "usage: whisper-cli [options] file0 file1 ...   -h,        --help              show this help "
               "message and exit";
    }

    void transcription()
    {
        QFETCH(QString, modelId);
        QFETCH(QByteArray, audio);
        QFETCH(QStringList, environment);
        QFETCH(QStringList, vocabulary);
        QFETCH(bool, succeeds);
        QFETCH(QString, text);

        QVERIFY(writeFile(audioPath(), audio));
        for (const QString &assignment : environment) {
            const qsizetype equals = assignment.indexOf(QLatin1Char('='));
            qputenv(assignment.left(equals).toLatin1().constData(), assignment.mid(equals + 1).toUtf8());
        }
        const Run run = transcribe(fakeRunner(), catalogModel(modelId.toLatin1().constData()), vocabulary);
        QVERIFY(run.result);
        if (succeeds) {
            QVERIFY2(run.result->ok(), run.result->ok() ? "" : qPrintable(run.result->error().message()));
            QCOMPARE(run.result->value(), text);
        } else {
            QVERIFY2(!run.result->ok(), run.result->ok() ? qPrintable(run.result->value()) : "");
            QCOMPARE(run.result->error().message(), text);
        }
        QVERIFY(!run.progressOffMainThread);
    }

    void unreadableRecording()
    {
        // Refused with an "error:" line and status 0, as the released engines do.
        const Run run = transcribe(fakeRunner(), catalogModel("pocket"), {});
        QVERIFY(run.result && !run.result->ok());
        QCOMPARE(run.result->error().kind(), SorvaneError::Kind::TranscriptionFailed);
        QCOMPARE(run.result->error().message(),
                 QStringLiteral("error: failed to read audio file '%1'").arg(audioPath()));
    }

    void unreadableModel()
    {
        QVERIFY(writeFile(audioPath(), "text"));
        QVERIFY(QFile::remove(modelPath()));
        const Run run = transcribe(fakeRunner(), catalogModel("balanced"), {});
        QVERIFY(run.result && !run.result->ok());
        QCOMPARE(run.result->error().message(),
                 QStringLiteral("whisper_init_from_file_with_params_no_state: failed to open '%1' "
                                "error: failed to initialize whisper context").arg(modelPath()));
    }

    void theEngineGetsItsExactCommandLine_data()
    {
        QTest::addColumn<QString>("modelId");
        QTest::addColumn<QStringList>("vocabulary");
        QTest::newRow("whisper") << "swift" << QStringList{"Kubernetes", "K8s"};
        QTest::newRow("parakeet") << "velocity" << QStringList{"Kubernetes"};
    }

    void theEngineGetsItsExactCommandLine()
    {
        QFETCH(QString, modelId);
        QFETCH(QStringList, vocabulary);
        QVERIFY(writeFile(audioPath(), "hello"));
        const SpeechModel model = catalogModel(modelId.toLatin1().constData());
        const Run run = transcribe(fakeRunner(), model, vocabulary);
        QVERIFY(run.result && run.result->ok());
        const QStringList expected = WhisperRunner::arguments(
            model, modelPath(), audioPath(), vocabulary, WhisperRunner::threadCount(QThread::idealThreadCount()));
        QCOMPARE(recordedArguments(), expected);
    }

    void openMpThreadsSleepWhileTheyWait_data()
    {
        QTest::addColumn<QByteArray>("userSetting");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("not set by the user") << QByteArray() << QByteArray("OMP_WAIT_POLICY=passive");
        QTest::newRow("the user's choice") << QByteArray("active") << QByteArray("OMP_WAIT_POLICY=active");
        QTest::newRow("set empty by the user") << QByteArray("") << QByteArray("OMP_WAIT_POLICY=");
    }

    void openMpThreadsSleepWhileTheyWait()
    {
        QFETCH(QByteArray, userSetting);
        QFETCH(QByteArray, expected);
        if (!userSetting.isNull())
            qputenv("OMP_WAIT_POLICY", userSetting);
        const QString environmentFile = m_dir->filePath(QStringLiteral("environment"));
        qputenv("FAKE_SPEECH_ENGINE_ENVIRONMENT", QFile::encodeName(environmentFile));
        qputenv("SORVANE_TEST_MARKER", "kept");
        QVERIFY(writeFile(audioPath(), "hello"));
        const Run run = transcribe(fakeRunner(), catalogModel("pocket"), {});
        qunsetenv("SORVANE_TEST_MARKER");
        QVERIFY(run.result && run.result->ok());
        const QList<QByteArray> entries = readFile(environmentFile).split('\0');
        const auto policies = std::count_if(entries.begin(), entries.end(),
                                            [](const QByteArray &entry) { return entry.startsWith("OMP_WAIT_POLICY="); });
        QCOMPARE(policies, 1);
        QVERIFY(entries.contains(expected));
        // The rest of this program's environment goes along.
        QVERIFY(entries.contains("SORVANE_TEST_MARKER=kept"));
    }

    void whisperProgressIsReported()
    {
        QVERIFY(writeFile(audioPath(), "hello"));
        qputenv("FAKE_SPEECH_ENGINE_PROGRESS", "5,40,80,100,120");
        const Run run = transcribe(fakeRunner(), catalogModel("pocket"), {});
        QVERIFY(run.result && run.result->ok());
        QVERIFY(!run.progressOffMainThread);
        QVERIFY(run.progress.size() >= 2);
        QCOMPARE(run.progress.first(), 0.02);
        QCOMPARE(run.progress.last(), 0.97); // 120 % is still not done
        for (double fraction : run.progress)
            QVERIFY(fraction >= 0.02 && fraction <= 0.97);
        for (qsizetype i = 1; i < run.progress.size(); ++i)
            QVERIFY(run.progress[i] >= run.progress[i - 1]);
    }

    void parakeetReportsOnlyTheStart()
    {
        QVERIFY(writeFile(audioPath(), "hello"));
        qputenv("FAKE_SPEECH_ENGINE_PROGRESS", "40,80");
        qputenv("FAKE_SPEECH_ENGINE_STDERR", "progress = 50%\n");
        const Run run = transcribe(fakeRunner(), catalogModel("velocity"), {});
        QVERIFY(run.result && run.result->ok());
        QCOMPARE(run.progress, QList<double>{0.02});
    }

    void missingEngineStartsNothing()
    {
        QVERIFY(writeFile(audioPath(), "hello"));
        const WhisperRunner runner([](SpeechEngine) { return std::optional<QString>(); });
        const Run run = transcribe(runner, catalogModel("pocket"), {});
        QVERIFY(run.result && !run.result->ok());
        QCOMPARE(run.result->error(), SorvaneError::missingEngine());
        QVERIFY(run.progress.isEmpty());
        QVERIFY(!QFile::exists(recordPath()));
    }

    void launchFailureCarriesTheSystemsMessage_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("createFile");
        QTest::newRow("no such file") << "no-such-engine" << false;
        QTest::newRow("not executable") << "plain-file" << true;
    }

    void launchFailureCarriesTheSystemsMessage()
    {
        QFETCH(QString, program);
        QFETCH(bool, createFile);
        QVERIFY(writeFile(audioPath(), "hello"));
        const QString path = m_dir->filePath(program);
        if (createFile)
            QVERIFY(writeFile(path, "#!/bin/sh\necho hello\n"));
        const WhisperRunner runner([path](SpeechEngine) { return std::optional<QString>(path); });
        const Run run = transcribe(runner, catalogModel("pocket"), {});
        QVERIFY(run.result && !run.result->ok());
        const QString message = run.result->error().message();
        qInfo() << "launch failure:" << message;
        QVERIFY(!message.isEmpty());
        QVERIFY(message != SorvaneError::transcriptionFailed({}).message());
        QCOMPARE(run.progress, QList<double>{0.02});
    }

    void defaultLookupHonoursTheOverrideVariables_data()
    {
        QTest::addColumn<QString>("modelId");
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("program");
        QTest::newRow("whisper") << "pocket" << QByteArray("SORVANE_WHISPER_CLI_PATH") << "whisper-cli";
        QTest::newRow("parakeet") << "velocity" << QByteArray("SORVANE_PARAKEET_CLI_PATH") << "parakeet-cli";
    }

    void defaultLookupHonoursTheOverrideVariables()
    {
        QFETCH(QString, modelId);
        QFETCH(QByteArray, variable);
        QFETCH(QString, program);
        QVERIFY(writeFile(audioPath(), "found it"));
        qputenv(variable.constData(), QFile::encodeName(m_dir->filePath(program)));
        const Run run = transcribe(WhisperRunner(), catalogModel(modelId.toLatin1().constData()), {});
        QVERIFY(run.result);
        QVERIFY2(run.result->ok(), run.result->ok() ? "" : qPrintable(run.result->error().message()));
        QCOMPARE(run.result->value(), QStringLiteral("found it"));
    }

private:
    QString modelPath() const { return m_dir->filePath(QStringLiteral("model.bin")); }
    QString audioPath() const { return m_dir->filePath(QStringLiteral("recording.wav")); }
    QString recordPath() const { return m_dir->filePath(QStringLiteral("arguments")); }

    WhisperRunner fakeRunner() const
    {
        const QString folder = m_dir->path();
        return WhisperRunner([folder](SpeechEngine engine) {
            return std::optional<QString>(folder + QLatin1Char('/') + WhisperRunner::programName(engine));
        });
    }

    QStringList recordedArguments() const
    {
        QByteArray bytes = readFile(recordPath());
        if (bytes.endsWith('\0'))
            bytes.chop(1);
        QStringList arguments;
        for (const QByteArray &argument : bytes.split('\0'))
            arguments.append(QString::fromUtf8(argument));
        return arguments;
    }

    Run transcribe(const WhisperRunner &runner, const SpeechModel &model, const QStringList &vocabulary) const
    {
        Run run;
        QThread *mainThread = QThread::currentThread();
        run.result = awaitTask(runner.transcribe(audioPath(), model, modelPath(), vocabulary, [&](double value) {
            run.progress.append(value);
            if (QThread::currentThread() != mainThread)
                run.progressOffMainThread = true;
        }));
        return run;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(WhisperRunnerTest)
#include "tst_whisper_runner.moc"
