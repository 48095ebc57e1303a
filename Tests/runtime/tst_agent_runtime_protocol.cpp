#include "Command/AgentRuntimeError.h"
#include "Command/AgentRuntimeProtocol.h"
#include "Services/Command/AgentRuntimeService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

using namespace sorvane;

namespace {

const QUuid requestId = QUuid::fromString(QStringLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8"));

QStringList keysInOrder(const QByteArray &line)
{
    // The top-level keys as they appear in the text.
    QStringList keys;
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    QList<std::pair<qsizetype, QString>> found;
    for (const QString &key : object.keys())
        found.append({line.indexOf(QByteArray("\"" + key.toUtf8() + "\":")), key});
    std::sort(found.begin(), found.end());
    for (const auto &entry : found)
        keys.append(entry.second);
    return keys;
}

} // namespace

class AgentRuntimeProtocolTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textValuesInOrder()
    {
        QStringList commands, kinds;
        for (AgentProtocolCommand command : allCases<AgentProtocolCommand>()) {
            commands << toText(command);
            QCOMPARE(fromText<AgentProtocolCommand>(toText(command)), command);
        }
        for (AgentProtocolEventKind kind : allCases<AgentProtocolEventKind>()) {
            kinds << toText(kind);
            QCOMPARE(fromText<AgentProtocolEventKind>(toText(kind)), kind);
        }
        QCOMPARE(commands, (QStringList{"run", "continue", "cancel", "list", "load", "delete", "shutdown", "forgetTurns", "keepTurns"}));
        QCOMPARE(kinds, (QStringList{"phase", "delta", "completed", "warning", "error", "conversations"}));
        QVERIFY(!fromText<AgentProtocolEventKind>(QStringLiteral("progress")));
        QVERIFY(!fromText<AgentProtocolCommand>(QStringLiteral("Run")));
    }

    void bareRequestCarriesOnlyTheAlwaysFields()
    {
        AgentRuntimeRequest request;
        request.requestID = requestId;
        QCOMPARE(AgentRuntimeService::encodedLine(request),
                 QByteArray(R"({"version":1,"requestID":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","command":"run","attachments":[]})"
                            "\n"));
    }

    void aTurnsRequestNamesItsConversations()
    {
        AgentRuntimeRequest request;
        request.requestID = requestId;
        request.command = AgentProtocolCommand::ForgetTurns;
        request.sessionPath = QStringLiteral("/d/sessions.sqlite");
        request.conversationIDs = QList<QUuid>{QUuid::fromString(QStringLiteral("00000000-0000-0000-0000-00000000abcd"))};
        const QByteArray line = AgentRuntimeService::encodedLine(request);
        QCOMPARE(line, QByteArray(R"({"version":1,"requestID":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","command":"forgetTurns",)"
                                  R"("attachments":[],"sessionPath":"/d/sessions.sqlite",)"
                                  R"("conversationIDs":["00000000-0000-0000-0000-00000000ABCD"]})"
                                  "\n"));
        auto decoded = AgentRuntimeRequest::fromJson(QJsonDocument::fromJson(line).object());
        QVERIFY(decoded);
        QCOMPARE(*decoded, request);
        // An empty list is a list: "keep none".
        request.command = AgentProtocolCommand::KeepTurns;
        request.conversationIDs = QList<QUuid>{};
        QVERIFY(AgentRuntimeService::encodedLine(request).contains(R"("command":"keepTurns","attachments":[],"sessionPath":"/d/sessions.sqlite","conversationIDs":[]})"));
    }

    void fullRequestIsOneCompactLineInFieldOrder()
    {
        AgentRuntimeRequest request;
        request.requestID = requestId;
        request.command = AgentProtocolCommand::Continue;
        request.conversationID = QUuid::fromString(QStringLiteral("00000000-0000-0000-0000-00000000abcd"));
        AgentModelDescriptor model;
        model.id = QStringLiteral("cloud-model");
        model.name = QStringLiteral("Cloud Model");
        model.provider = AgentModelProvider::Mistral;
        request.model = model;
        request.instruction = QStringLiteral("Make it \"shorter\"\nplease");
        request.trustedInstructions = QStringLiteral("Be kind.");
        AgentContextAttachment attachment;
        attachment.id = QUuid::fromString(QStringLiteral("11111111-2222-3333-4444-555555555555"));
        attachment.kind = AgentAttachmentKind::SelectedText;
        attachment.displayName = QStringLiteral("Selected text");
        attachment.text = QStringLiteral("héllo ✓");
        attachment.createdAt = QDateTime(QDate(2026, 3, 1), QTime(10, 30, 0, 250), QTimeZone(3600));
        request.attachments = {attachment};
        request.modelPath = QStringLiteral("/m/model.gguf");
        request.projectorPath = QStringLiteral("/m/mmproj.gguf");
        request.llamaServerPath = QStringLiteral("/x/llama-server");
        request.appleBridgePath = QStringLiteral("/x/SorvaneAppleBridge");
        request.sessionPath = QStringLiteral("/d/sessions.json");
        request.cloudAPIKey = QStringLiteral("sk-test");
        request.personalContext = QStringLiteral("I write in British English.");
        request.reasoningEffort = AgentReasoningEffort::NoEffort;
        request.ephemeralSession = false;

        const QByteArray line = AgentRuntimeService::encodedLine(request);
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1);
        QVERIFY(!line.contains("\": ") && !line.contains(", \""));
        QCOMPARE(keysInOrder(line),
                 (QStringList{"version", "requestID", "command", "conversationID", "model", "instruction",
                              "trustedInstructions", "attachments", "modelPath", "projectorPath", "llamaServerPath",
                              "appleBridgePath", "sessionPath", "cloudAPIKey", "personalContext", "reasoningEffort",
                              "ephemeralSession"}));
        QVERIFY(line.contains(R"("ephemeralSession":false)"));
        QVERIFY(line.contains(R"("reasoningEffort":"none")"));
        QVERIFY(line.contains(R"("conversationID":"00000000-0000-0000-0000-00000000ABCD")"));
        QVERIFY(line.contains(R"("createdAt":"2026-03-01T09:30:00Z")"));
        QVERIFY(line.contains(R"("provider":"mistral")"));

        const QJsonDocument document = QJsonDocument::fromJson(line);
        QVERIFY(document.isObject());
        QCOMPARE(document.object(), request.toJson());
        auto decoded = AgentRuntimeRequest::fromJson(document.object());
        QVERIFY(decoded);
        attachment.createdAt = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 0), Qt::UTC);
        request.attachments = {attachment};
        QCOMPARE(*decoded, request);
    }

    void eventsThatDecode_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected"); // kind/requestID/phase/text/code, "-" when absent

        QTest::newRow("warning without request") << QByteArray(R"({"version":1,"kind":"warning"})") << "warning/-/-/-/-";
        QTest::newRow("completed without text")
            << QByteArray(R"({"version":1,"requestID":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","kind":"completed"})")
            << "completed/6BA7B810-9DAD-11D1-80B4-00C04FD430C8/-/-/-";
        QTest::newRow("lower-case id, phase and detail")
            << QByteArray(R"({"version":1,"requestID":"6ba7b810-9dad-11d1-80b4-00c04fd430c8","kind":"phase","phase":"loadingModel","text":"Loading"})")
            << "phase/6BA7B810-9DAD-11D1-80B4-00C04FD430C8/loadingModel/Loading/-";
        QTest::newRow("unknown keys ignored, code read")
            << QByteArray(R"({"version":7,"kind":"error","code":"E42","extra":{"a":[1]},"text":""})")
            << "error/-/-//E42";
        QTest::newRow("null reads as absent")
            << QByteArray(R"({"version":1,"kind":"delta","requestID":null,"text":null,"phase":null})") << "delta/-/-/-/-";
        QTest::newRow("empty conversations") << QByteArray(R"({"version":1,"kind":"conversations","conversations":[]})")
                                             << "conversations/-/-/-/-";
    }

    void eventsThatDecode()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        const auto event = AgentRuntimeEvent::decodedLine(line);
        QVERIFY(event);
        const auto orDash = [](const std::optional<QString> &text) { return text ? *text : QStringLiteral("-"); };
        const QString seen = toText(event->kind) + '/' +
                             (event->requestID ? event->requestID->toString(QUuid::WithoutBraces).toUpper() : "-") +
                             '/' + (event->phase ? toText(*event->phase) : "-") + '/' + orDash(event->text) + '/' +
                             orDash(event->code);
        QCOMPARE(seen, expected);
    }

    void conversationsAreDecoded()
    {
        const QByteArray line =
            R"({"version":1,"kind":"conversations","conversations":[{"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","title":"T","createdAt":"2026-03-01T09:30:00Z","updatedAt":"2026-03-01T09:31:00Z","targetApplicationName":"Editor","messages":[]}]})";
        const auto event = AgentRuntimeEvent::decodedLine(line);
        QVERIFY(event);
        QVERIFY(event->conversations);
        QCOMPARE(event->conversations->size(), 1);
        QCOMPARE(event->conversations->first().title, QStringLiteral("T"));
        QCOMPARE(AgentRuntimeEvent::fromJson(event->toJson()), event);
    }

    void eventsThatDoNotDecode_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("not JSON") << QByteArray("this is not an event");
        QTest::newRow("truncated") << QByteArray(R"({"version":1,"kind":"delta")");
        QTest::newRow("an array") << QByteArray(R"([{"version":1,"kind":"delta"}])");
        QTest::newRow("a string") << QByteArray(R"("delta")");
        QTest::newRow("missing version") << QByteArray(R"({"kind":"delta"})");
        QTest::newRow("missing kind") << QByteArray(R"({"version":1})");
        QTest::newRow("version as text") << QByteArray(R"({"version":"1","kind":"delta"})");
        QTest::newRow("unknown kind") << QByteArray(R"({"version":1,"kind":"progress"})");
        QTest::newRow("unknown phase") << QByteArray(R"({"version":1,"kind":"phase","phase":"thinking"})");
        QTest::newRow("malformed id") << QByteArray(R"({"version":1,"kind":"delta","requestID":"42"})");
        QTest::newRow("braced id")
            << QByteArray(R"({"version":1,"kind":"delta","requestID":"{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"})");
        QTest::newRow("text as number") << QByteArray(R"({"version":1,"kind":"delta","text":5})");
        QTest::newRow("conversation with a bad date")
            << QByteArray(
                   R"({"version":1,"kind":"conversations","conversations":[{"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","title":"T","createdAt":"yesterday","updatedAt":"2026-03-01T09:31:00Z","targetApplicationName":"","messages":[]}]})");
    }

    void eventsThatDoNotDecode()
    {
        QFETCH(QByteArray, line);
        QVERIFY(!AgentRuntimeEvent::decodedLine(line));
    }

    void errorMessages_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("message");
        QTest::newRow("cloud limit") << 0 << "Sorvane paused cloud requests after 10 commands in one minute. Wait briefly and try again.";
        QTest::newRow("cloud limit, no grouping") << 1 << "Sorvane paused cloud requests after 12345 commands in one minute. Wait briefly and try again.";
        QTest::newRow("writing model, as given") << 2 << " Add your key. ";
        QTest::newRow("model import, as given") << 3 << "The file is not a model.";
        QTest::newRow("busy") << 4 << "Command is already working.";
        QTest::newRow("speech model") << 5 << "Download the selected speech model first.";
        QTest::newRow("screenshots") << 6 << "Switch to an image-capable model to include a screenshot.";
        QTest::newRow("screen recording") << 7 << "Screen Recording access is required for the screenshot shortcut.";
        QTest::newRow("no instruction") << 8 << "No instruction was detected.";
        QTest::newRow("context") << 9 << "The selected context is too large for this writing model.";
        QTest::newRow("runtime missing") << 10 << "The bundled Command runtime is missing.";
        QTest::newRow("invalid response") << 11 << "Command returned an invalid response.";
    }

    void errorMessages()
    {
        QFETCH(int, index);
        QFETCH(QString, message);
        const AgentRuntimeError errors[] = {
            AgentRuntimeError::cloudRequestLimitReached(10),
            AgentRuntimeError::cloudRequestLimitReached(12345),
            AgentRuntimeError::writingModelUnavailable(QStringLiteral(" Add your key. ")),
            AgentRuntimeError::modelImportFailed(QStringLiteral("The file is not a model.")),
            AgentRuntimeError::busy(),
            AgentRuntimeError::speechModelUnavailable(),
            AgentRuntimeError::screenshotsUnsupported(),
            AgentRuntimeError::screenRecordingDenied(),
            AgentRuntimeError::noInstruction(),
            AgentRuntimeError::contextTooLarge(),
            AgentRuntimeError::runtimeMissing(),
            AgentRuntimeError::invalidRuntimeResponse(),
        };
        QCOMPARE(errors[index].message(), message);
        QCOMPARE(AgentRunFailure(errors[index]).message(), message);
    }
};

QTEST_GUILESS_MAIN(AgentRuntimeProtocolTest)
#include "tst_agent_runtime_protocol.moc"
