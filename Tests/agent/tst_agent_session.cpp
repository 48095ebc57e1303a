// What the runtime keeps between turns: "continue" sends the conversation's earlier turns,
// an ephemeral request keeps nothing, a follow-up whose turns are gone ends in an error, a
// damaged session file is moved aside once and a new one begun, and the turns of deleted
// conversations are removed.

#include "AgentProcess.h"
#include "FakeChatServer.h"
#include "TestPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlQuery>
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

    static QString turnsGone()
    {
        return QStringLiteral("The earlier turns of this conversation are gone, so it cannot be continued. "
                              "Start a new Command.");
    }

    static QStringList warningsOf(const AgentProcess &agent, const QString &requestID)
    {
        QStringList warnings;
        for (const QJsonObject &event : agent.eventsFor(requestID)) {
            if (kindOf(event) == QLatin1String("warning"))
                warnings.append(textOf(event));
        }
        return warnings;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        QVERIFY(m_folder.isValid());
    }

    void init()
    {
        m_session = m_folder.filePath(QStringLiteral("%1-%2/sessions.sqlite")
                                          .arg(QTest::currentTestFunction(), QString::fromUtf8(QTest::currentDataTag())));
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

    void aFollowUpAfterATurnThatWasNotSavedEndsInAnError()
    {
        // Sent on, it would go with the first turn and without the one that was lost.
        const QString conversation = newConversation();
        AgentProcess agent(environment());
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), conversation, QStringLiteral("First")))), QStringLiteral("completed"));
        {
            QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("refuse"));
            database.setDatabaseName(m_session);
            QVERIFY(database.open());
            QSqlQuery query(database);
            QVERIFY(query.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON turns WHEN NEW.text LIKE '%Second%' "
                                              "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("refuse"));
        const QJsonObject second = turn(QStringLiteral("continue"), conversation, QStringLiteral("Second"));
        QCOMPARE(textOf(agent.run(second)), QStringLiteral("Answer to Second"));
        QCOMPARE(warningsOf(agent, idOf(second)),
                 QStringList{QStringLiteral("Command could not save this turn of the conversation: ") + m_session});
        const int sent = int(m_server.requests().size());
        const QJsonObject third = agent.run(turn(QStringLiteral("continue"), conversation, QStringLiteral("Third")));
        QCOMPARE(textOf(third), turnsGone());
        QCOMPARE(int(m_server.requests().size()), sent);
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

        // Nothing of it comes back for its conversation either: there is nothing to continue.
        const int sent = int(m_server.requests().size());
        const QJsonObject next = agent.run(turn(QStringLiteral("continue"), conversation, QStringLiteral("Next")));
        QCOMPARE(textOf(next), turnsGone());
        QCOMPARE(int(m_server.requests().size()), sent);
    }

    void aFollowUpWhoseEarlierTurnsAreGoneEndsInAnError_data()
    {
        QTest::addColumn<bool>("storeExists");
        QTest::newRow("no session file") << false;
        QTest::newRow("a session file without this conversation") << true;
    }

    void aFollowUpWhoseEarlierTurnsAreGoneEndsInAnError()
    {
        // Sent with only the new instruction, its answer would be pasted over the last answer
        // as if it continued the conversation.
        QFETCH(bool, storeExists);
        AgentProcess agent(environment());
        if (storeExists)
            QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), newConversation(), QStringLiteral("Other")))),
                     QStringLiteral("completed"));
        m_server.clearRequests();
        const QJsonObject end = agent.run(turn(QStringLiteral("continue"), newConversation(), QStringLiteral("Shorter")));
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), turnsGone());
        QVERIFY(m_server.requests().isEmpty());
    }

    void aDamagedSessionFileIsSetAsideOnceAndANewOneBegun_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("content");
        const QByteArray noise = QByteArray("This is not a database at all.\n").repeated(64);
        QByteArray truncatedHeader = QByteArray("SQLite format 3\0", 16) + QByteArray(200, '\xff');
        QTest::newRow("run, text file") << QStringLiteral("run") << noise;
        QTest::newRow("continue, text file") << QStringLiteral("continue") << noise;
        QTest::newRow("continue, broken header") << QStringLiteral("continue") << truncatedHeader;
    }

    void aDamagedSessionFileIsSetAsideOnceAndANewOneBegun()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(m_session, content));
        AgentProcess agent(environment());
        const QJsonObject first = turn(command, newConversation(), QStringLiteral("Anything"));
        const QJsonObject end = agent.run(first);

        // The damaged file is kept, whole, beside the new store; the user is told where, once.
        const QDir folder = QFileInfo(m_session).dir();
        const QStringList aside = folder.entryList({QStringLiteral("sessions.sqlite.unreadable-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(folder.filePath(aside.first())), content);
        QCOMPARE(warningsOf(agent, idOf(first)),
                 QStringList{QStringLiteral("Command's conversation store could not be read. It was moved to ") +
                             folder.filePath(aside.first()) +
                             QStringLiteral(" and a new one was started; earlier Command conversations cannot be continued.")});
        if (command == QLatin1String("continue")) {
            QCOMPARE(textOf(end), turnsGone());
        } else {
            QCOMPARE(kindOf(end), QStringLiteral("completed"));
        }

        // Commands work again at once, follow-ups included, and nothing more is set aside or said.
        const QString conversation = newConversation();
        const QJsonObject next = turn(QStringLiteral("run"), conversation, QStringLiteral("New one"));
        QCOMPARE(textOf(agent.run(next)), QStringLiteral("Answer to New one"));
        const QJsonObject followUp = turn(QStringLiteral("continue"), conversation, QStringLiteral("Shorter"));
        QCOMPARE(textOf(agent.run(followUp)), QStringLiteral("Answer to Shorter"));
        QCOMPARE(messagesOf(m_server.requests().last()).size(), 4);
        QVERIFY(warningsOf(agent, idOf(next)).isEmpty());
        QVERIFY(warningsOf(agent, idOf(followUp)).isEmpty());
        QCOMPARE(folder.entryList({QStringLiteral("sessions.sqlite.unreadable-*")}, QDir::Files).size(), 1);
    }

    void aStoreInUseIsNotTakenForDamaged()
    {
        AgentProcess agent(environment());
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), newConversation(), QStringLiteral("First")))), QStringLiteral("completed"));
        const QByteArray before = fingerprint(m_session);
        {
            // Another program holds the store locked for longer than the runtime waits.
            QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            database.setDatabaseName(m_session);
            QVERIFY(database.open());
            QSqlQuery query(database);
            QVERIFY(query.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            const QJsonObject end = agent.run(turn(QStringLiteral("run"), newConversation(), QStringLiteral("Second")));
            QCOMPARE(kindOf(end), QStringLiteral("error"));
            QCOMPARE(textOf(end), QStringLiteral("Command's conversation store is in use by another program. "
                                                 "Try again in a moment: ") + m_session);
            QVERIFY(query.exec(QStringLiteral("ROLLBACK")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        QCOMPARE(fingerprint(m_session), before);
        QVERIFY(QFileInfo(m_session).dir().entryList({QStringLiteral("sessions.sqlite.unreadable-*")}, QDir::Files).isEmpty());
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), newConversation(), QStringLiteral("Third")))), QStringLiteral("completed"));
    }

    void removesTheTurnsOfDeletedConversations_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("the deleted ones named") << QStringLiteral("forgetTurns");
        QTest::newRow("the remaining ones named") << QStringLiteral("keepTurns");
    }

    void removesTheTurnsOfDeletedConversations()
    {
        QFETCH(QString, command);
        const QString deleted = newConversation();
        const QString kept = newConversation();
        AgentProcess agent(environment());
        QJsonObject first = turn(QStringLiteral("run"), deleted, QStringLiteral("Draft a reply"));
        first.insert(QStringLiteral("attachments"),
                     QJsonArray{selectedTextAttachment(QStringLiteral("private-selected-text-marker"))});
        QCOMPARE(kindOf(agent.run(first)), QStringLiteral("completed"));
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), kept, QStringLiteral("Keep me")))), QStringLiteral("completed"));
        QVERIFY(readFile(m_session).contains("private-selected-text-marker"));

        QJsonObject removal = requestJson(command);
        removal.insert(QStringLiteral("sessionPath"), m_session);
        removal.insert(QStringLiteral("conversationIDs"),
                       QJsonArray{command == QLatin1String("forgetTurns") ? deleted : kept});
        QCOMPARE(kindOf(agent.run(removal)), QStringLiteral("completed"));

        // Gone from the file itself, not only from what a follow-up gets.
        QVERIFY(!readFile(m_session).contains("private-selected-text-marker"));
        QCOMPARE(textOf(agent.run(turn(QStringLiteral("continue"), deleted, QStringLiteral("Again")))), turnsGone());
        QCOMPARE(textOf(agent.run(turn(QStringLiteral("continue"), kept, QStringLiteral("Still here")))),
                 QStringLiteral("Answer to Still here"));
        QCOMPARE(messagesOf(m_server.requests().last()).size(), 4);
    }

    void refusesATurnRemovalItCannotRead_data()
    {
        QTest::addColumn<QJsonObject>("fields");
        QTest::newRow("no session file named") << QJsonObject{{QStringLiteral("conversationIDs"), QJsonArray{}}};
        QTest::newRow("no list") << QJsonObject{{QStringLiteral("sessionPath"), QStringLiteral("/tmp/x.sqlite")}};
        QTest::newRow("not an id") << QJsonObject{{QStringLiteral("sessionPath"), QStringLiteral("/tmp/x.sqlite")},
                                                  {QStringLiteral("conversationIDs"), QJsonArray{QStringLiteral("nope")}}};
    }

    void refusesATurnRemovalItCannotRead()
    {
        // Read wrongly, "keep these" could remove every conversation's turns.
        QFETCH(QJsonObject, fields);
        AgentProcess agent(environment());
        QCOMPARE(kindOf(agent.run(turn(QStringLiteral("run"), newConversation(), QStringLiteral("Kept")))),
                 QStringLiteral("completed"));
        const QByteArray before = fingerprint(m_session);
        QJsonObject removal = requestJson(QStringLiteral("keepTurns"));
        for (auto field = fields.begin(); field != fields.end(); ++field)
            removal.insert(field.key(), field.value());
        const QJsonObject end = agent.run(removal);
        QCOMPARE(kindOf(end), QStringLiteral("error"));
        QCOMPARE(textOf(end), QStringLiteral("Command received a request it could not read."));
        QCOMPARE(fingerprint(m_session), before);
    }
};

QTEST_GUILESS_MAIN(AgentSessionTest)
#include "tst_agent_session.moc"
