// The runtime with local models: it starts our fake llama-server, waits for its health check,
// streams from it, keeps it for the same model and replaces it for another.

#include "AgentProcess.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

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
};

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
                              record.value(QStringLiteral("child")).toInteger(), {}};
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
        QTRY_VERIFY_WITH_TIMEOUT(processGone(first.pid), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(first.child), 20000);
        QVERIFY(!processGone(started.last().pid));
    }

    void startsAgainAfterTheServerDied()
    {
        AgentProcess agent(environment());
        const QString model = modelFile(QStringLiteral("model-a.gguf"));
        QCOMPARE(kindOf(agent.run(localRequest(model))), QStringLiteral("completed"));
        const ServerStart first = starts().first();
        ::kill(pid_t(first.pid), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(first.pid), 20000);
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
        QTRY_VERIFY_WITH_TIMEOUT(processGone(server.pid), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(server.child), 20000);
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
        QTRY_VERIFY_WITH_TIMEOUT(processGone(server.pid), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(server.child), 20000);
    }

    void theServerEndsWhenTheRuntimeDies()
    {
        auto agent = std::make_unique<AgentProcess>(environment());
        QCOMPARE(kindOf(agent->run(localRequest(modelFile(QStringLiteral("model-a.gguf"))))), QStringLiteral("completed"));
        const ServerStart server = starts().first();
        ::kill(pid_t(agent->pid()), SIGKILL);
        QVERIFY(agent->waitForExit());
        QTRY_VERIFY_WITH_TIMEOUT(processGone(server.pid), 20000);
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

    void reportsAServerThatCannotLoadTheModel()
    {
        AgentProcess agent(environment());
        const QJsonObject end = agent.run(localRequest(modelFile(QStringLiteral("broken.gguf"), "broken weights")));
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("llama-server could not load Qwen Writer. main: exiting due to model loading error"));
    }
};

QTEST_GUILESS_MAIN(AgentLocalTest)
#include "tst_agent_local.moc"
