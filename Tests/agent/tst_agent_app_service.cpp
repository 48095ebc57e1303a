// The application's own runtime service, as it is, finds and drives the real sorvane-agent
// through a run and a continuation of the same conversation.

#include "Command/AgentModelDescriptor.h"
#include "AgentProcess.h"
#include "AwaitTask.h"
#include "FakeChatServer.h"
#include "Services/Command/AgentRuntimeService.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class AgentAppServiceTest : public QObject {
    Q_OBJECT

    FakeChatServer m_server;
    QTemporaryDir m_folder;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        // The runtime's own variable, which the service passes on like the rest of the environment.
        qputenv("SORVANE_AGENT_OPENAI_BASE_URL", m_server.url(QStringLiteral("/v1")).toString().toUtf8());
        qunsetenv("SORVANE_SORVANE_AGENT_PATH");
    }

    void runsAndContinuesAConversation()
    {
        const std::optional<QString> found = AgentRuntimeService::bundledExecutable(QStringLiteral("sorvane-agent"));
        QVERIFY(found);
        QCOMPARE(QFileInfo(*found).canonicalFilePath(), QFileInfo(agentProgram()).canonicalFilePath());

        m_server.setHandler([](const FakeChatServer::Request &request) {
            const int turns = int(request.json().value(QStringLiteral("messages")).toArray().size());
            return FakeChatServer::streamOf({QStringLiteral("Reply after "), QString::number(turns), QStringLiteral(" messages")});
        });

        std::optional<AgentModelDescriptor> luna;
        for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog()) {
            if (model.id == QLatin1String("openai-luna"))
                luna = model;
        }
        QVERIFY(luna);

        AgentRuntimeService service;
        AgentRuntimeRequest request;
        request.requestID = QUuid::createUuid();
        request.command = AgentProtocolCommand::Run;
        request.conversationID = QUuid::createUuid();
        request.model = luna;
        request.instruction = QStringLiteral("Write a haiku");
        request.trustedInstructions = QStringLiteral("You power Command inside Sorvane.");
        request.sessionPath = m_folder.filePath(QStringLiteral("agent-sessions.sqlite"));
        request.cloudAPIKey = QStringLiteral("sk-app-service");
        request.personalContext = QString();
        request.reasoningEffort = AgentReasoningEffort::Low;

        QList<AgentRuntimeEvent> events;
        const auto collect = [&events](const AgentRuntimeEvent &event) { events.append(event); };
        const AgentRuntimeService::RunResult first = awaitTask(service.run(request, collect));
        QVERIFY2(first.ok(), qPrintable(first.ok() ? QString() : first.error().message()));
        QCOMPARE(first.value(), QStringLiteral("Reply after 2 messages"));
        QCOMPARE(events.first().phase, std::optional<AgentPhase>(AgentPhase::LoadingModel));
        QString streamed;
        for (const AgentRuntimeEvent &event : std::as_const(events)) {
            if (event.kind == AgentProtocolEventKind::Delta)
                streamed += event.text.value_or(QString());
        }
        QCOMPARE(streamed, first.value());
        QCOMPARE(m_server.requests().last().json().value(QStringLiteral("reasoning_effort")).toString(), QStringLiteral("low"));
        const qint64 runtime = service.processId();
        QVERIFY(runtime > 0);

        AgentRuntimeRequest next = request;
        next.requestID = QUuid::createUuid();
        next.command = AgentProtocolCommand::Continue;
        next.instruction = QStringLiteral("Now in French");
        const AgentRuntimeService::RunResult second = awaitTask(service.run(next, collect));
        QVERIFY2(second.ok(), qPrintable(second.ok() ? QString() : second.error().message()));
        QCOMPARE(second.value(), QStringLiteral("Reply after 4 messages"));
        QCOMPARE(service.processId(), runtime); // the same runtime served both

        const QJsonArray messages = m_server.requests().last().json().value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages[1].toObject().value(QStringLiteral("content")).toString(), QStringLiteral("Write a haiku"));
        QCOMPARE(messages[2].toObject().value(QStringLiteral("role")).toString(), QStringLiteral("assistant"));
        QCOMPARE(messages[2].toObject().value(QStringLiteral("content")).toString(), QStringLiteral("Reply after 2 messages"));
        QCOMPARE(messages[3].toObject().value(QStringLiteral("content")).toString(), QStringLiteral("Now in French"));
    }
};

QTEST_GUILESS_MAIN(AgentAppServiceTest)
#include "tst_agent_app_service.moc"
