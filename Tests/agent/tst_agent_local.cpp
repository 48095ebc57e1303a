// The runtime with local models: it starts our fake llama-server, waits for its health check,
// streams from it, keeps it for the same model and replaces it for another.

#include "AgentProcess.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <memory>
#include <unistd.h>

using namespace sorvane::testing;

namespace {

struct ServerStart {
    qint64 pid = 0;
    qint64 processGroup = 0;
    qint64 child = 0;
    QStringList arguments;
    QString ompWaitPolicy;

    QString option(const QString &name) const
    {
        const qsizetype at = arguments.indexOf(name);
        return at < 0 ? QString() : arguments.value(at + 1);
    }
};

// Waits until the process has ended. It is not asked again afterwards: on a busy machine its
// id may already belong to another process by then.
bool gone(qint64 pid)
{
    return QTest::qWaitFor([pid] { return processGone(pid); }, 20000);
}

} // namespace

class AgentLocalTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;
    QString m_log;
    QList<qint64> m_leftovers; // processes to end after the test whatever happened

    QMap<QString, QString> environment(int loadMs = 0) const
    {
        return {{QStringLiteral("SORVANE_FAKE_LLAMA_LOG"), m_log},
                {QStringLiteral("SORVANE_FAKE_LLAMA_LOAD_MS"), QString::number(loadMs)}};
    }

    QString modelFile(const QString &name, const QByteArray &content = "GGUF fake weights")
    {
        const QString path = m_folder.filePath(name);
        if (!QFile::exists(path))
            writeFile(path, content);
        return path;
    }

    QMap<QString, QString> environmentWith(const char *variable, const QString &value = QStringLiteral("1")) const
    {
        QMap<QString, QString> result = environment();
        result.insert(QLatin1String(variable), value);
        return result;
    }

    QJsonObject localRequest(const QString &modelPath, bool images = false, const QString &projectorPath = {})
    {
        QJsonObject request = requestJson(
            QStringLiteral("run"), modelJson(QStringLiteral("llamaCPP"), images ? QStringLiteral("Qwen Vision") : QStringLiteral("Qwen Writer"),
                                             images ? QStringLiteral("Qwen2.5-VL 3B Q4_K_M") : QStringLiteral("Qwen3 4B Q4_K_M"), images));
        request.insert(QStringLiteral("instruction"), QStringLiteral("Shorten this"));
        request.insert(QStringLiteral("trustedInstructions"), QStringLiteral("You power Command inside Sorvane."));
        request.insert(QStringLiteral("modelPath"), modelPath);
        if (!projectorPath.isEmpty())
            request.insert(QStringLiteral("projectorPath"), projectorPath);
        request.insert(QStringLiteral("llamaServerPath"), testProgram(QStringLiteral("fake-llama-server")));
        request.insert(QStringLiteral("ephemeralSession"), true);
        return request;
    }

    QList<QJsonObject> logRecords(const QString &event) const
    {
        QList<QJsonObject> found;
        for (const QByteArray &line : readFile(m_log).split('\n')) {
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            if (record.value(QStringLiteral("event")).toString() == event)
                found.append(record);
        }
        return found;
    }

    QList<ServerStart> starts()
    {
        QList<ServerStart> found;
        for (const QJsonObject &record : logRecords(QStringLiteral("start"))) {
            ServerStart start{record.value(QStringLiteral("pid")).toInteger(),
                              record.value(QStringLiteral("processGroup")).toInteger(),
                              record.value(QStringLiteral("child")).toInteger(), {},
                              record.value(QStringLiteral("ompWaitPolicy")).toString()};
            for (const QJsonValue &argument : record.value(QStringLiteral("arguments")).toArray())
                start.arguments.append(argument.toString());
            found.append(start);
            m_leftovers << start.pid << start.child;
        }
        return found;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_folder.isValid());
        m_log = m_folder.filePath(QStringLiteral("llama-%1.log").arg(QTest::currentTestFunction()));
        QFile::remove(m_log);
    }

    void cleanup()
    {
        for (qint64 pid : std::as_const(m_leftovers)) {
            if (!processGone(pid))
                ::kill(pid_t(pid), SIGKILL);
        }
        m_leftovers.clear();
    }

    void startsTheServerAndWaitsForItsHealth()
    {
        AgentProcess agent(environment(1200));
        const QString model = modelFile(QStringLiteral("model-a.gguf"));
        const QJsonObject request = localRequest(model);
        const QString id = request.value(QStringLiteral("requestID")).toString();
        const QJsonObject end = agent.run(request);
        QCOMPARE(kindOf(end), QStringLiteral("completed"));
        QCOMPARE(textOf(end), QStringLiteral("Answer from model-a.gguf"));
        QCOMPARE(agent.deltasFor(id), (QStringList{QStringLiteral("Answer"), QStringLiteral(" from "), QStringLiteral("model-a.gguf")}));

        const QList<QJsonObject> events = agent.eventsFor(id);
        QCOMPARE(events.value(0).value(QStringLiteral("phase")).toString(), QStringLiteral("loadingModel"));
        QCOMPARE(textOf(events.value(0)), QStringLiteral("Loading Qwen Writer"));
        QCOMPARE(events.value(1).value(QStringLiteral("phase")).toString(), QStringLiteral("generating"));

        const QList<ServerStart> started = starts();
        QCOMPARE(started.size(), 1);
        const QStringList &arguments = started.first().arguments;
        QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("--model")) + 1), model);
        QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("--host")) + 1), QStringLiteral("127.0.0.1"));
        QVERIFY(arguments.value(arguments.indexOf(QStringLiteral("--port")) + 1).toUInt() > 0);
        QVERIFY(!arguments.contains(QStringLiteral("--mmproj")));
        // Its own process group, apart from the runtime's.
        QCOMPARE(started.first().processGroup, started.first().pid);
        QVERIFY(started.first().processGroup != qint64(::getpgid(pid_t(agent.pid()))));

        // It was asked while still loading, and again until it was ready.
        const QList<QJsonObject> health = logRecords(QStringLiteral("health"));
        QVERIFY(health.size() >= 2);
        QCOMPARE(health.first().value(QStringLiteral("ready")).toBool(), false);
        QCOMPARE(health.last().value(QStringLiteral("ready")).toBool(), true);

        const QList<QJsonObject> chats = logRecords(QStringLiteral("chat"));
        QCOMPARE(chats.size(), 1);
        const QJsonObject body = chats.first().value(QStringLiteral("body")).toObject();
        QCOMPARE(body.value(QStringLiteral("stream")).toBool(), true);
        const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.first().toObject().value(QStringLiteral("role")).toString(), QStringLiteral("system"));
        QCOMPARE(messages.last().toObject().value(QStringLiteral("content")).toString(), QStringLiteral("Shorten this"));
        QVERIFY(!body.contains(QStringLiteral("reasoning_effort")));
        // Half of the model's context at most, so that a model that never stops is stopped.
        QCOMPARE(body.value(QStringLiteral("max_tokens")).toInt(), 4096);
    }

    void startsTheServerWithTheModelsContextAndWithoutContextShift_data()
    {
        QTest::addColumn<QJsonValue>("contextTokens"); // in the model descriptor; undefined: none
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("maxTokens");
        QTest::newRow("the model names none") << QJsonValue(QJsonValue::Undefined) << QStringLiteral("8192") << 4096;
        QTest::newRow("the model names its own") << QJsonValue(4096) << QStringLiteral("4096") << 2048;
        QTest::newRow("a size no model has") << QJsonValue(-3) << QStringLiteral("8192") << 4096;
    }

    void startsTheServerWithTheModelsContextAndWithoutContextShift()
    {
        QFETCH(QJsonValue, contextTokens);
        QFETCH(QString, expected);
        QFETCH(int, maxTokens);
        AgentProcess agent(environment());
        QJsonObject request = localRequest(modelFile(QStringLiteral("model-a.gguf")));
        if (!contextTokens.isUndefined()) {
            QJsonObject model = request.value(QStringLiteral("model")).toObject();
            model.insert(QStringLiteral("contextTokens"), contextTokens);
            request.insert(QStringLiteral("model"), model);
        }
        QCOMPARE(kindOf(agent.run(request)), QStringLiteral("completed"));
        const ServerStart started = starts().value(0);
        QCOMPARE(started.option(QStringLiteral("--ctx-size")), expected);
        // Shifting the context drops the start of a prompt that does not fit: the instructions.
        QVERIFY(started.arguments.contains(QStringLiteral("--no-context-shift")));
        const QJsonObject body = logRecords(QStringLiteral("chat")).value(0).value(QStringLiteral("body")).toObject();
        QCOMPARE(body.value(QStringLiteral("max_tokens")).toInt(), maxTokens);
    }

    void startsTheServerAsTheSpeechEngineIsStarted_data()
    {
        QTest::addColumn<QString>("userPolicy"); // empty: not set
        QTest::addColumn<QString>("expected");
        QTest::newRow("not set by the user") << QString() << QStringLiteral("passive");
        QTest::newRow("set by the user") << QStringLiteral("active") << QStringLiteral("active");
    }

    void startsTheServerAsTheSpeechEngineIsStarted()
    {
        // OpenMP's spinning wait made the same request ten times slower on a busy computer.
        QFETCH(QString, userPolicy);
        QFETCH(QString, expected);
        QProcessEnvironment outer = QProcessEnvironment::systemEnvironment();
        const bool hadPolicy = outer.contains(QStringLiteral("OMP_WAIT_POLICY"));
        const QString outerPolicy = outer.value(QStringLiteral("OMP_WAIT_POLICY"));
        if (userPolicy.isEmpty())
            qunsetenv("OMP_WAIT_POLICY");
        else
            qputenv("OMP_WAIT_POLICY", userPolicy.toUtf8());
        const auto restore = qScopeGuard([&] {
            if (hadPolicy)
                qputenv("OMP_WAIT_POLICY", outerPolicy.toUtf8());
            else
                qunsetenv("OMP_WAIT_POLICY");
        });
        AgentProcess agent(environment());
        QCOMPARE(kindOf(agent.run(localRequest(modelFile(QStringLiteral("model-a.gguf"))))), QStringLiteral("completed"));
        const ServerStart started = starts().value(0);
        QCOMPARE(started.ompWaitPolicy, expected);
        const int processors = QThread::idealThreadCount();
        QCOMPARE(started.option(QStringLiteral("--threads")), QString::number(std::min(std::max(processors - 2, 2), 8)));
    }

    void endsAPromptThatDoesNotFitInContextTooLarge()
    {
        AgentProcess agent(environment());
        QJsonObject request = localRequest(modelFile(QStringLiteral("model-a.gguf")));
        // About 12000 tokens of selected text, more than the 8192 of the model's context.
        request.insert(QStringLiteral("attachments"),
                       QJsonArray{selectedTextAttachment(QStringLiteral("Lorem ipsum dolor sit amet. ").repeated(1700))});
        const QJsonObject end = agent.run(request);
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("The selected context is too large for this writing model."));
        QCOMPARE(end.value(QStringLiteral("code")).toString(), QStringLiteral("contextTooLarge"));
        QVERIFY(agent.deltasFor(idOf(request)).isEmpty());
    }

    void reportsTheErrorTheServerSendsInItsStream()
    {
        AgentProcess agent(environmentWith("SORVANE_FAKE_LLAMA_STREAM_ERROR"));
        const QJsonObject end = agent.run(localRequest(modelFile(QStringLiteral("model-a.gguf"))));
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("llama-server stopped with an error: failed to decode the batch: KV cache is full"));
    }

    void reportsAnAnswerStoppedAtItsLengthAsCutShort()
    {
        // The answer is sent as it comes, but never handed over as complete.
        AgentProcess agent(environmentWith("SORVANE_FAKE_LLAMA_ENDLESS"));
        const QJsonObject request = localRequest(modelFile(QStringLiteral("model-a.gguf")));
        const QJsonObject end = agent.run(request, 60000);
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("The answer was cut short: Qwen Writer reached the longest answer it may give. "
                                             "Ask for a shorter answer, or split the request."));
        QCOMPARE(agent.deltasFor(idOf(request)).size(), 4096);
    }

    void saysTheModelsServerStoppedWhenItCannotBeReached()
    {
        AgentProcess agent(environmentWith("SORVANE_FAKE_LLAMA_EXIT_ON_CHAT"));
        const QJsonObject end = agent.run(localRequest(modelFile(QStringLiteral("model-a.gguf"))));
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("The server of Qwen Writer stopped. Try the Command again."));
    }

    void answersTheRequestInFlightAtTheEndOfInput()
    {
        // The line and the end of input come together; the answer still comes, then the exit.
        AgentProcess agent(environment(300));
        const QJsonObject request = localRequest(modelFile(QStringLiteral("model-a.gguf")));
        agent.send(request);
        agent.closeInput();
        QVERIFY(agent.waitForExit());
        QCOMPARE(agent.exitStatus(), QProcess::NormalExit);
        QCOMPARE(agent.exitCode(), 0);
        const QList<QJsonObject> events = agent.eventsFor(idOf(request));
        QVERIFY(!events.isEmpty());
        QCOMPARE(kindOf(events.last()), QStringLiteral("completed"));
        QCOMPARE(textOf(events.last()), QStringLiteral("Answer from model-a.gguf"));
        const ServerStart server = starts().value(0);
        QVERIFY(gone(server.pid));
        QVERIFY(gone(server.child));
    }

    void leavesOutAReasoningModelsThought()
    {
        QMap<QString, QString> thinking = environment();
        thinking.insert(QStringLiteral("SORVANE_FAKE_LLAMA_THINK"), QStringLiteral("1"));
        AgentProcess agent(thinking);
        const QJsonObject request = localRequest(modelFile(QStringLiteral("model-a.gguf")));
        const QJsonObject end = agent.run(request);
        QCOMPARE(textOf(end), QStringLiteral("Answer from model-a.gguf"));
        QCOMPARE(agent.deltasFor(request.value(QStringLiteral("requestID")).toString()),
                 (QStringList{QStringLiteral("Answer"), QStringLiteral(" from "), QStringLiteral("model-a.gguf")}));
    }

    void givesUpOnASlowLoadButKeepsTheServerLoading()
    {
        QMap<QString, QString> slow = environment(3000);
        slow.insert(QStringLiteral("SORVANE_AGENT_MODEL_LOAD_TIMEOUT_MS"), QStringLiteral("500"));
        AgentProcess agent(slow);
        const QString model = modelFile(QStringLiteral("model-a.gguf"));
        const QJsonObject first = agent.run(localRequest(model));
        QCOMPARE(kindOf(first), QStringLiteral("error"));
        QCOMPARE(textOf(first), QStringLiteral("Qwen Writer is still loading. Try again in a moment."));
        // The next request waits for the same server once more, and it has loaded by then.
        QTRY_VERIFY_WITH_TIMEOUT(!logRecords(QStringLiteral("health")).isEmpty(), 20000);
        QJsonObject second;
        for (int attempt = 0; attempt < 40 && kindOf(second) != QLatin1String("completed"); ++attempt)
            second = agent.run(localRequest(model));
        QCOMPARE(textOf(second), QStringLiteral("Answer from model-a.gguf"));
        QCOMPARE(starts().size(), 1);
    }

    void keepsTheServerForTheSameModelAndReplacesItForAnother()
    {
        AgentProcess agent(environment());
        const QString modelA = modelFile(QStringLiteral("model-a.gguf"));
        QCOMPARE(kindOf(agent.run(localRequest(modelA))), QStringLiteral("completed"));
        QCOMPARE(kindOf(agent.run(localRequest(modelA))), QStringLiteral("completed"));
        QCOMPARE(starts().size(), 1);
        QCOMPARE(logRecords(QStringLiteral("chat")).size(), 2);
        const ServerStart first = starts().first();

        const QString modelB = modelFile(QStringLiteral("vision-b.gguf"));
        const QString projector = modelFile(QStringLiteral("mmproj-b.gguf"));
        const QJsonObject end = agent.run(localRequest(modelB, true, projector));
        QCOMPARE(textOf(end), QStringLiteral("Answer from vision-b.gguf"));
        const QList<ServerStart> started = starts();
        QCOMPARE(started.size(), 2);
        const QStringList &arguments = started.last().arguments;
        QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("--model")) + 1), modelB);
        QCOMPARE(arguments.value(arguments.indexOf(QStringLiteral("--mmproj")) + 1), projector);
        // The first server went with everything in its group.
        QVERIFY(gone(first.pid));
        QVERIFY(gone(first.child));
        QVERIFY(!processGone(started.last().pid));
    }

    void startsAgainAfterTheServerDied()
    {
        AgentProcess agent(environment());
        const QString model = modelFile(QStringLiteral("model-a.gguf"));
        QCOMPARE(kindOf(agent.run(localRequest(model))), QStringLiteral("completed"));
        const ServerStart first = starts().first();
        ::kill(pid_t(first.pid), SIGKILL);
        QVERIFY(gone(first.pid));
        QCOMPARE(textOf(agent.run(localRequest(model))), QStringLiteral("Answer from model-a.gguf"));
        QCOMPARE(starts().size(), 2);
    }

    void stopsTheServerGroupAtTheEndOfInput()
    {
        AgentProcess agent(environment());
        QCOMPARE(kindOf(agent.run(localRequest(modelFile(QStringLiteral("model-a.gguf"))))), QStringLiteral("completed"));
        const ServerStart server = starts().first();
        QVERIFY(!processGone(server.pid));
        QVERIFY(!processGone(server.child));
        agent.closeInput();
        QVERIFY(agent.waitForExit());
        QCOMPARE(agent.exitStatus(), QProcess::NormalExit);
        QCOMPARE(agent.exitCode(), 0);
        QVERIFY(gone(server.pid));
        QVERIFY(gone(server.child));
    }

    void stopsTheServerGroupWhenAskedToStop()
    {
        AgentProcess agent(environment());
        QCOMPARE(kindOf(agent.run(localRequest(modelFile(QStringLiteral("model-a.gguf"))))), QStringLiteral("completed"));
        const ServerStart server = starts().first();
        ::kill(pid_t(agent.pid()), SIGTERM);
        QVERIFY(agent.waitForExit());
        QCOMPARE(agent.exitStatus(), QProcess::NormalExit);
        QCOMPARE(agent.exitCode(), 0);
        QVERIFY(gone(server.pid));
        QVERIFY(gone(server.child));
    }

    void theServerEndsWhenTheRuntimeDies()
    {
        auto agent = std::make_unique<AgentProcess>(environment());
        QCOMPARE(kindOf(agent->run(localRequest(modelFile(QStringLiteral("model-a.gguf"))))), QStringLiteral("completed"));
        const ServerStart server = starts().first();
        ::kill(pid_t(agent->pid()), SIGKILL);
        QVERIFY(agent->waitForExit());
        QVERIFY(gone(server.pid));
    }

    void reportsAMissingServerProgram_data()
    {
        QTest::addColumn<QString>("program"); // empty: the request names none
        QTest::newRow("not found by the application, nor on PATH") << QString();
        QTest::newRow("no such file") << QStringLiteral("/nonexistent/llama-server");
        QTest::newRow("not a program") << QDir::tempPath();
    }

    void reportsAMissingServerProgram()
    {
        QFETCH(QString, program);
        QMap<QString, QString> withoutServer = environment();
        withoutServer.insert(QStringLiteral("PATH"), m_folder.filePath(QStringLiteral("empty-bin")));
        withoutServer.insert(QStringLiteral("SORVANE_LLAMA_SERVER_PATH"), QString());
        AgentProcess agent(withoutServer);
        QJsonObject request = localRequest(modelFile(QStringLiteral("model-a.gguf")));
        if (program.isEmpty())
            request.remove(QStringLiteral("llamaServerPath"));
        else
            request.insert(QStringLiteral("llamaServerPath"), program);
        const QJsonObject end = agent.run(request);
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("Local models need llama.cpp's llama-server, which was not found. Install it "
                                             "and put it on PATH, beside Sorvane, or in SORVANE_LLAMA_SERVER_PATH."));
        QVERIFY(starts().isEmpty());
    }

    void findsTheServerItselfWhenTheRequestNamesNone_data()
    {
        QTest::addColumn<bool>("onPath"); // else through SORVANE_LLAMA_SERVER_PATH
        QTest::newRow("on PATH") << true;
        QTest::newRow("named in the environment") << false;
    }

    void findsTheServerItselfWhenTheRequestNamesNone()
    {
        QFETCH(bool, onPath);
        const QString bin = m_folder.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        const QString link = QDir(bin).filePath(QStringLiteral("llama-server"));
        QFile::remove(link);
        QVERIFY(QFile::link(testProgram(QStringLiteral("fake-llama-server")), link));
        QMap<QString, QString> found = environment();
        if (onPath)
            found.insert(QStringLiteral("PATH"), bin + QStringLiteral(":/usr/bin:/bin"));
        else
            found.insert(QStringLiteral("SORVANE_LLAMA_SERVER_PATH"), link);
        AgentProcess agent(found);
        QJsonObject request = localRequest(modelFile(QStringLiteral("model-a.gguf")));
        request.remove(QStringLiteral("llamaServerPath"));
        QCOMPARE(textOf(agent.run(request)), QStringLiteral("Answer from model-a.gguf"));
        QCOMPARE(starts().size(), 1);
    }

    void reportsAMissingModelFile_data()
    {
        QTest::addColumn<bool>("missingProjector");
        QTest::newRow("weights") << false;
        QTest::newRow("projector") << true;
    }

    void reportsAMissingModelFile()
    {
        QFETCH(bool, missingProjector);
        AgentProcess agent(environment());
        const QString missing = m_folder.filePath(QStringLiteral("not-downloaded.gguf"));
        const QJsonObject request = missingProjector
                                        ? localRequest(modelFile(QStringLiteral("vision-b.gguf")), true, missing)
                                        : localRequest(missing);
        const QJsonObject end = agent.run(request);
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), missingProjector
                                  ? QStringLiteral("The image file of Qwen Vision is missing. Download the model again on the Models screen.")
                                  : QStringLiteral("The model file of Qwen Writer is missing. Download the model again on the Models screen."));
        QVERIFY(starts().isEmpty());
    }

    void reportsAServerThatCannotLoadTheModel_data()
    {
        QTest::addColumn<QByteArray>("weights");
        QTest::addColumn<QString>("message");
        // The line that names the cause, without the log's time and level.
        QTest::newRow("it exits") << QByteArray("broken weights")
                                  << QStringLiteral("llama-server could not load Qwen Writer. "
                                                    "llama_model_load: error loading model: invalid magic characters");
        QTest::newRow("it crashes") << QByteArray("crash weights")
                                    << QStringLiteral("llama-server could not load Qwen Writer: it crashed (signal 6, "
                                                      "Aborted). terminate called without an active exception");
    }

    void reportsAServerThatCannotLoadTheModel()
    {
        QFETCH(QByteArray, weights);
        QFETCH(QString, message);
        AgentProcess agent(environment());
        const QJsonObject end = agent.run(localRequest(modelFile(QString::fromLatin1(weights.left(6)) + QStringLiteral(".gguf"), weights)));
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), message);
    }
};

QTEST_GUILESS_MAIN(AgentLocalTest)
#include "tst_agent_local.moc"
