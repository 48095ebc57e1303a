// The runtime with the llama-server the set-up builds (libexec/sorvane/llama-server) and
// two tiny models the engines fixture made, each answering every prompt with a sentence of
// its own: it starts the server, streams its answer, keeps it for the next request with the
// same model, replaces it for another, and stops it at the end of its input.

#include "AgentProcess.h"
#include "TestPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace sorvane::testing;

namespace {

const QString answerOfA = QStringLiteral("The engines answer from this computer.");
const QString answerOfB = QStringLiteral("Another model wrote these words.");

QString shippedServer()
{
    return buildDirectory() + QStringLiteral("/libexec/sorvane/llama-server");
}

QString testModel(const QString &name)
{
    return qEnvironmentVariable("SORVANE_TEST_MODELS_DIR") + QLatin1Char('/') + name;
}

QJsonObject localRequest(const QString &modelFile, const QString &instruction = QStringLiteral("Shorten this"))
{
    QJsonObject request = requestJson(QStringLiteral("run"), modelJson(QStringLiteral("llamaCPP"), QStringLiteral("Tiny Writer"),
                                                                      QStringLiteral("Tiny Llama F32"), false));
    request.insert(QStringLiteral("instruction"), instruction);
    request.insert(QStringLiteral("trustedInstructions"), QStringLiteral("You power Command inside Sorvane."));
    request.insert(QStringLiteral("modelPath"), testModel(modelFile));
    request.insert(QStringLiteral("llamaServerPath"), shippedServer());
    request.insert(QStringLiteral("ephemeralSession"), true);
    return request;
}

} // namespace

class AgentShippedLlamaTest : public QObject {
    Q_OBJECT

    QList<qint64> m_servers; // ended after each test whatever happened

    // The runtime's one llama-server child, once it runs.
    qint64 serverOf(const AgentProcess &agent)
    {
        const QList<qint64> servers = childrenNamed(agent.pid(), QStringLiteral("llama-server"));
        m_servers << servers;
        return servers.size() == 1 ? servers.first() : 0;
    }

    // Runs the request to its end; the answer's text, with its deltas checked against it.
    QString answer(AgentProcess &agent, const QJsonObject &request)
    {
        const QJsonObject end = agent.run(request, 60000);
        if (kindOf(end) != QLatin1String("completed")) {
            qWarning().noquote() << "the request ended with" << kindOf(end) << textOf(end) << agent.standardError();
            return {};
        }
        const QString streamed = agent.deltasFor(idOf(request)).join(QString());
        if (streamed.trimmed() != textOf(end).trimmed()) {
            qWarning().noquote() << "streamed" << streamed << "but completed with" << textOf(end);
            return {};
        }
        return textOf(end).trimmed();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The set-up always builds it; without it this build is broken, not lighter.
        QVERIFY2(QFileInfo(shippedServer()).isExecutable(),
                 qPrintable(shippedServer() + QStringLiteral(" is missing: scripts/build.sh builds it")));
        for (const char *file : {"writer-a.gguf", "writer-b.gguf"})
            QVERIFY2(QFileInfo(testModel(QString::fromLatin1(file))).isFile(), file);
    }

    void cleanup()
    {
        for (qint64 pid : std::as_const(m_servers)) {
            if (!processGone(pid))
                ::kill(pid_t(pid), SIGKILL);
        }
        m_servers.clear();
    }

    void startsTheServerAndStreamsItsAnswer()
    {
        AgentProcess agent;
        QCOMPARE(answer(agent, localRequest(QStringLiteral("writer-a.gguf"))), answerOfA);
        QVERIFY(serverOf(agent) != 0);
    }

    void keepsTheServerForASecondRequest()
    {
        AgentProcess agent;
        QCOMPARE(answer(agent, localRequest(QStringLiteral("writer-a.gguf"))), answerOfA);
        const qint64 server = serverOf(agent);
        QVERIFY(server != 0);
        QCOMPARE(answer(agent, localRequest(QStringLiteral("writer-a.gguf"), QStringLiteral("Make it formal"))), answerOfA);
        QCOMPARE(serverOf(agent), server);
    }

    void replacesTheServerForAnotherModel()
    {
        AgentProcess agent;
        QCOMPARE(answer(agent, localRequest(QStringLiteral("writer-a.gguf"))), answerOfA);
        const qint64 first = serverOf(agent);
        QVERIFY(first != 0);
        QCOMPARE(answer(agent, localRequest(QStringLiteral("writer-b.gguf"))), answerOfB);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(first), 20000);
        const qint64 second = serverOf(agent);
        QVERIFY(second != 0);
        QVERIFY(second != first);
    }

    void theServersOpenMpThreadsSleepWhileTheyWait_data()
    {
        QTest::addColumn<QString>("chosen"); // the user's OMP_WAIT_POLICY; empty: none
        QTest::addColumn<QString>("expected");
        QTest::newRow("unset") << QString() << QStringLiteral("passive");
        QTest::newRow("the user's choice") << QStringLiteral("active") << QStringLiteral("active");
    }

    // Spinning OpenMP threads make the server many times slower while other programs are busy.
    void theServersOpenMpThreadsSleepWhileTheyWait()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        const QByteArray before = qgetenv("OMP_WAIT_POLICY");
        if (chosen.isEmpty())
            qunsetenv("OMP_WAIT_POLICY");
        else
            qputenv("OMP_WAIT_POLICY", chosen.toUtf8());
        AgentProcess agent;
        if (before.isNull())
            qunsetenv("OMP_WAIT_POLICY");
        else
            qputenv("OMP_WAIT_POLICY", before);
        QCOMPARE(answer(agent, localRequest(QStringLiteral("writer-a.gguf"))), answerOfA);
        const qint64 server = serverOf(agent);
        QVERIFY(server != 0);
        QFile environ(QStringLiteral("/proc/%1/environ").arg(server));
        QVERIFY(environ.open(QIODevice::ReadOnly));
        QByteArray policy;
        for (const QByteArray &variable : environ.readAll().split('\0')) {
            if (variable.startsWith("OMP_WAIT_POLICY="))
                policy = variable.mid(int(qstrlen("OMP_WAIT_POLICY=")));
        }
        QCOMPARE(QString::fromUtf8(policy), expected);
    }

    void stopsTheServerAtTheEndOfInput()
    {
        AgentProcess agent;
        QCOMPARE(answer(agent, localRequest(QStringLiteral("writer-a.gguf"))), answerOfA);
        const qint64 server = serverOf(agent);
        QVERIFY(server != 0);
        agent.closeInput();
        QVERIFY(agent.waitForExit());
        QCOMPARE(agent.exitStatus(), QProcess::NormalExit);
        QCOMPARE(agent.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(server), 20000);
    }
};

QTEST_GUILESS_MAIN(AgentShippedLlamaTest)
#include "tst_agent_shipped_llama.moc"
