// What the runtime keeps between turns: "continue" sends the conversation's earlier turns,
// an ephemeral request keeps nothing, and a damaged session file is reported and left alone.

#include "AgentProcess.h"
#include "FakeChatServer.h"
#include "TestPaths.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace sorvane::testing;

namespace {

struct Message {
    QString role;
    QString content;
    friend bool operator==(const Message &, const Message &) = default;
};

QList<Message> messagesOf(const FakeChatServer::Request &request)
{
    QList<Message> messages;
    for (const QJsonValue &value : request.json().value(QStringLiteral("messages")).toArray()) {
        const QJsonObject message = value.toObject();
        messages.append({message.value(QStringLiteral("role")).toString(), message.value(QStringLiteral("content")).toString()});
    }
    return messages;
}

// Named in a failed comparison.
char *toString(const Message &message)
{
    return QTest::toString(QString(message.role + QStringLiteral(": ") + message.content));
}

QByteArray fingerprint(const QString &path)
{
    return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256);
}

} // namespace

class AgentSessionTest : public QObject {
    Q_OBJECT

    FakeChatServer m_server;
    QTemporaryDir m_folder;
    QString m_session;

    QMap<QString, QString> environment() const
    {
        return {{QStringLiteral("SORVANE_AGENT_OPENAI_BASE_URL"), m_server.url(QStringLiteral("/v1")).toString()}};
    }

    QJsonObject turn(const QString &command, const QString &conversation, const QString &instruction)
    {
        QJsonObject request = requestJson(
            command, modelJson(QStringLiteral("openAI"), QStringLiteral("Luna"), QStringLiteral("gpt-5.6-luna"), true));
        request.insert(QStringLiteral("conversationID"), conversation);
        request.insert(QStringLiteral("instruction"), instruction);
        request.insert(QStringLiteral("trustedInstructions"), QStringLiteral("Be brief."));
        request.insert(QStringLiteral("cloudAPIKey"), QStringLiteral("sk-session"));
        request.insert(QStringLiteral("sessionPath"), m_session);
        return request;
    }

    static QString newConversation() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        QVERIFY(m_folder.isValid());
    }

    void init()
    {
        m_session = m_folder.filePath(QStringLiteral("%1/sessions.sqlite").arg(QTest::currentTestFunction()));
        m_server.clearRequests();
        // Each answer names the instruction it answers.
        m_server.setHandler([](const FakeChatServer::Request &request) {
            const QJsonArray messages = request.json().value(QStringLiteral("messages")).toArray();
            const QString user = messages.last().toObject().value(QStringLiteral("content")).toString();
            return FakeChatServer::streamOf({QStringLiteral("Answer to "), user.section(QLatin1Char('\n'), 0, 0)});
        });
    }

    void continueSendsTheEarlierTurns()
    {
        const QString conversation = newConversation();
        const QString other = newConversation();
        QJsonObject first = turn(QStringLiteral("run"), conversation, QStringLiteral("Draft a reply"));
        first.insert(QStringLiteral("attachments"), QJsonArray{selectedTextAttachment(QStringLiteral("Can we meet?"))});
        {
            AgentProcess agent(environment());
            QCOMPARE(textOf(agent.run(first)), QStringLiteral("Answer to Draft a reply"));
            QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), other, QStringLiteral("Something else")))),
                     QStringLiteral("completed"));
        }
        QVERIFY(QFile::exists(m_session));

        // A new runtime process: the turns come from the file.
        AgentProcess agent(environment());
        QCOMPARE(textOf(agent.run(turn(QStringLiteral("continue"), conversation, QStringLiteral("Make it shorter")))),
                 QStringLiteral("Answer to Make it shorter"));
        QCOMPARE(textOf(agent.run(turn(QStringLiteral("continue"), conversation, QStringLiteral("And warmer")))),
                 QStringLiteral("Answer to And warmer"));

        const QString firstUser = QStringLiteral("Draft a reply\n\n<reference kind=\"selectedText\" name=\"Selected text\">\n"
                                                 "Can we meet?\n</reference>");
        QCOMPARE(m_server.requests().size(), 4);
        QCOMPARE(messagesOf(m_server.requests()[2]),
                 (QList<Message>{{QStringLiteral("system"), QStringLiteral("Be brief.")},
                                 {QStringLiteral("user"), firstUser},
                                 {QStringLiteral("assistant"), QStringLiteral("Answer to Draft a reply")},
                                 {QStringLiteral("user"), QStringLiteral("Make it shorter")}}));
        QCOMPARE(messagesOf(m_server.requests()[3]),
                 (QList<Message>{{QStringLiteral("system"), QStringLiteral("Be brief.")},
                                 {QStringLiteral("user"), firstUser},
                                 {QStringLiteral("assistant"), QStringLiteral("Answer to Draft a reply")},
                                 {QStringLiteral("user"), QStringLiteral("Make it shorter")},
                                 {QStringLiteral("assistant"), QStringLiteral("Answer to Make it shorter")},
                                 {QStringLiteral("user"), QStringLiteral("And warmer")}}));
    }

    void aFailedTurnIsNotKept()
    {
        const QString conversation = newConversation();
        AgentProcess agent(environment());
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), conversation, QStringLiteral("First")))), QStringLiteral("completed"));
        m_server.setHandler([](const FakeChatServer::Request &) { return FakeChatServer::error(500, "{}"); });
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("continue"), conversation, QStringLiteral("Lost")))), QStringLiteral("error"));
        init();
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("continue"), conversation, QStringLiteral("Third")))),
                 QStringLiteral("completed"));
        QCOMPARE(messagesOf(m_server.requests().last()).size(), 4); // system, First, its answer, Third
    }

    void anAnswerStillComesWhenItsTurnCannotBeSaved()
    {
        const QString blocker = m_folder.filePath(QStringLiteral("a-file"));
        QVERIFY(writeFile(blocker, "not a folder"));
        m_session = blocker + QStringLiteral("/sessions.sqlite");
        AgentProcess agent(environment());
        const QJsonObject request = turn(QStringLiteral("run"), newConversation(), QStringLiteral("Hello"));
        const QJsonObject end = agent.run(request);
        QCOMPARE(kindOf(end), QStringLiteral("completed"));
        QCOMPARE(textOf(end), QStringLiteral("Answer to Hello"));
        QStringList warnings;
        for (const QJsonObject &event : agent.eventsFor(request.value(QStringLiteral("requestID")).toString())) {
            if (kindOf(event) == QLatin1String("warning"))
                warnings.append(textOf(event));
        }
        QCOMPARE(warnings, QStringList{QStringLiteral("Command could not save this turn of the conversation: ") + m_session});
        QCOMPARE(readFile(blocker), QByteArray("not a folder"));
    }

    void anEphemeralRunKeepsNothing_data()
    {
        QTest::addColumn<bool>("storeExists");
        QTest::newRow("no session file yet") << false;
        QTest::newRow("a session file with turns") << true;
    }

    void anEphemeralRunKeepsNothing()
    {
        QFETCH(bool, storeExists);
        AgentProcess agent(environment());
        if (storeExists)
            QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), newConversation(), QStringLiteral("Kept")))),
                     QStringLiteral("completed"));
        QCOMPARE(QFile::exists(m_session), storeExists);
        const QByteArray before = storeExists ? fingerprint(m_session) : QByteArray();

        const QString conversation = newConversation();
        QJsonObject cleanup = turn(QStringLiteral("run"), conversation, QStringLiteral("Clean up the transcript"));
        cleanup.insert(QStringLiteral("ephemeralSession"), true);
        QCOMPARE(kindOf(agent.run(cleanup)), QStringLiteral("completed"));
        QCOMPARE(QFile::exists(m_session), storeExists);
        if (storeExists)
            QCOMPARE(fingerprint(m_session), before);

        // Nothing of it comes back for its conversation either.
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("continue"), conversation, QStringLiteral("Next")))),
                 QStringLiteral("completed"));
        QCOMPARE(messagesOf(m_server.requests().last()).size(), 2);
    }

    void aDamagedSessionFileIsReportedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("content");
        const QByteArray noise = QByteArray("This is not a database at all.\n").repeated(64);
        QByteArray truncatedHeader = QByteArray("SQLite format 3\0", 16) + QByteArray(200, '\xff');
        QTest::newRow("run, text file") << QStringLiteral("run") << noise;
        QTest::newRow("continue, text file") << QStringLiteral("continue") << noise;
        QTest::newRow("continue, broken header") << QStringLiteral("continue") << truncatedHeader;
    }

    void aDamagedSessionFileIsReportedAndLeftAlone()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(m_session, content));
        AgentProcess agent(environment());
        const QJsonObject end = agent.run(turn(command, newConversation(), QStringLiteral("Anything")));
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("Command's session file is damaged, so earlier turns cannot be used. "
                                             "Start a new Command, or move the file away: ") + m_session);
        QCOMPARE(readFile(m_session), content);
        QVERIFY(m_server.requests().isEmpty());
        // The runtime itself goes on: a request without a session is served.
        QJsonObject ephemeral = turn(QStringLiteral("run"), newConversation(), QStringLiteral("Other"));
        ephemeral.insert(QStringLiteral("ephemeralSession"), true);
        QCOMPARE(kindOf(agent.run(ephemeral)), QStringLiteral("completed"));
        QCOMPARE(readFile(m_session), content);
    }
};

QTEST_GUILESS_MAIN(AgentSessionTest)
#include "tst_agent_session.moc"
