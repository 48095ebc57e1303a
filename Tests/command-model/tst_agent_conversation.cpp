#include "TestPaths.h"
#include "Command/AgentCompletionNotice.h"
#include "Command/AgentConversation.h"
#include "Command/AgentPhase.h"
#include "Command/AgentProgressEstimator.h"
#include "Shared/UserPerceivedText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QByteArray attachmentJson = R"({"id": "6BA7B810-9DAD-11D1-80B4-00C04FD430C8", "kind": "screenshot",
    "displayName": "Mail window", "filePath": "/data/Attachments/x.png", "createdAt": "2026-03-01T09:30:00Z"})";

QJsonObject conversationJson()
{
    return objectFrom(R"({"id": "0F6C2A9E-3D4B-4C5A-9E8F-112233445566", "title": "Shorter",
        "createdAt": "2026-03-01T09:30:00Z", "updatedAt": "2026-03-01T09:31:05Z",
        "targetApplicationName": "Mail", "lastPastedText": "Hi.",
        "messages": [
          {"id": "A1A1A1A1-0000-4000-8000-000000000001", "role": "user", "text": " make it shorter ",
           "createdAt": "2026-03-01T09:30:00Z", "attachments": [)" + attachmentJson + R"(]},
          {"id": "A1A1A1A1-0000-4000-8000-000000000002", "role": "assistant", "text": "Hi.",
           "createdAt": "2026-03-01T09:31:05Z", "attachments": []}]})");
}

QJsonObject without(QJsonObject object, const char *key)
{
    object.remove(QLatin1String(key));
    return object;
}

QJsonObject with(QJsonObject object, const char *key, const QJsonValue &value)
{
    object.insert(QLatin1String(key), value);
    return object;
}

QJsonObject withFirstMessage(const QJsonObject &conversation, const QJsonObject &message)
{
    QJsonArray messages = conversation.value(QStringLiteral("messages")).toArray();
    messages[0] = message;
    return with(conversation, "messages", messages);
}

QJsonObject firstMessage()
{
    return conversationJson().value(QStringLiteral("messages")).toArray().at(0).toObject();
}

QDateTime utc(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate).toUTC();
}

} // namespace

class AgentConversationTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodesAConversation()
    {
        const auto conversation = AgentConversation::fromJson(conversationJson());
        QVERIFY(conversation);
        QCOMPARE(conversation->id, QUuid::fromString(QStringLiteral("0F6C2A9E-3D4B-4C5A-9E8F-112233445566")));
        QCOMPARE(conversation->updatedAt, utc("2026-03-01T09:31:05Z"));
        QCOMPARE(conversation->lastPastedText, std::optional<QString>(QStringLiteral("Hi.")));
        QCOMPARE(conversation->messages.size(), 2);
        const AgentMessage &user = conversation->messages[0];
        QCOMPARE(user.role, AgentMessageRole::User);
        QCOMPARE(user.text, QStringLiteral(" make it shorter "));
        QCOMPARE(user.attachments.size(), 1);
        QCOMPARE(user.attachments[0].kind, AgentAttachmentKind::Screenshot);
        QCOMPARE(user.attachments[0].filePath, std::optional<QString>(QStringLiteral("/data/Attachments/x.png")));
        QCOMPARE(user.attachments[0].text, std::optional<QString>());
        QCOMPARE(conversation->messages[1].role, AgentMessageRole::Assistant);
    }

    void encodesInTheStoredForm()
    {
        const auto conversation = AgentConversation::fromJson(conversationJson());
        QVERIFY(conversation);
        QCOMPARE(conversation->toJson(), conversationJson());
        QCOMPARE(AgentConversation::fromJson(conversation->toJson()), conversation);
    }

    void encodingWritesUpperCaseIdsAndWholeSecondDates()
    {
        AgentContextAttachment attachment;
        attachment.id = QUuid::fromString(QStringLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8"));
        attachment.kind = AgentAttachmentKind::SelectedText;
        attachment.displayName = QStringLiteral("Selected text");
        attachment.text = QStringLiteral("  keep spaces ");
        attachment.createdAt = QDateTime(QDate(2026, 3, 1), QTime(10, 30, 0, 750), QTimeZone(3600));
        const QJsonObject json = attachment.toJson();
        QCOMPARE(json, objectFrom(R"({"id": "6BA7B810-9DAD-11D1-80B4-00C04FD430C8", "kind": "selectedText",
            "displayName": "Selected text", "text": "  keep spaces ", "createdAt": "2026-03-01T09:30:00Z"})"));
    }

    void absentOptionalsAreLeftOut()
    {
        AgentConversation conversation = *AgentConversation::fromJson(conversationJson());
        conversation.lastPastedText.reset();
        QVERIFY(!conversation.toJson().contains(QStringLiteral("lastPastedText")));
        const auto decoded = AgentConversation::fromJson(without(conversationJson(), "lastPastedText"));
        QVERIFY(decoded);
        QVERIFY(!decoded->lastPastedText);

        const auto bare = AgentContextAttachment::fromJson(without(without(objectFrom(attachmentJson), "filePath"), "text"));
        QVERIFY(bare);
        QVERIFY(!bare->text && !bare->filePath);
        QVERIFY(!bare->toJson().contains(QStringLiteral("text")));
        QVERIFY(!bare->toJson().contains(QStringLiteral("filePath")));
    }

    void decodingFailures_data()
    {
        QTest::addColumn<QJsonObject>("json");
        QTest::addColumn<bool>("decodes");
        const QJsonObject good = conversationJson();
        const QJsonObject message = firstMessage();
        const QJsonObject attachment = objectFrom(attachmentJson);
        auto withAttachment = [&](const QJsonObject &a) {
            return withFirstMessage(good, with(message, "attachments", QJsonArray{a}));
        };
        QTest::newRow("complete") << good << true;
        QTest::newRow("empty target name") << with(good, "targetApplicationName", QString()) << true;
        QTest::newRow("null lastPastedText") << with(good, "lastPastedText", QJsonValue::Null) << true;
        QTest::newRow("no title") << without(good, "title") << false;
        QTest::newRow("no updatedAt") << without(good, "updatedAt") << false;
        QTest::newRow("no targetApplicationName") << without(good, "targetApplicationName") << false;
        QTest::newRow("no messages") << without(good, "messages") << false;
        QTest::newRow("braced id") << with(good, "id", QStringLiteral("{0F6C2A9E-3D4B-4C5A-9E8F-112233445566}")) << false;
        QTest::newRow("lower-case id") << with(good, "id", QStringLiteral("0f6c2a9e-3d4b-4c5a-9e8f-112233445566")) << true;
        QTest::newRow("date without a zone") << with(good, "createdAt", QStringLiteral("2026-03-01T09:30:00")) << false;
        QTest::newRow("date as a number") << with(good, "createdAt", 1772357400) << false;
        QTest::newRow("lastPastedText as a number") << with(good, "lastPastedText", 3) << false;
        QTest::newRow("unknown role") << withFirstMessage(good, with(message, "role", QStringLiteral("system"))) << false;
        QTest::newRow("message without attachments") << withFirstMessage(good, without(message, "attachments")) << false;
        QTest::newRow("message without text") << withFirstMessage(good, without(message, "text")) << false;
        QTest::newRow("message that is a string") << with(good, "messages", QJsonArray{QStringLiteral("hi")}) << false;
        QTest::newRow("attachment without displayName") << withAttachment(without(attachment, "displayName")) << false;
        QTest::newRow("attachment without createdAt") << withAttachment(without(attachment, "createdAt")) << false;
        QTest::newRow("unknown attachment kind") << withAttachment(with(attachment, "kind", QStringLiteral("file"))) << false;
        QTest::newRow("attachment path as a number") << withAttachment(with(attachment, "filePath", 1)) << false;
    }

    void decodingFailures()
    {
        QFETCH(QJsonObject, json);
        QFETCH(bool, decodes);
        QCOMPARE(AgentConversation::fromJson(json).has_value(), decodes);
    }

    void enumerationTexts()
    {
        QStringList phases;
        for (AgentPhase phase : allCases<AgentPhase>())
            phases.append(toText(phase));
        QCOMPARE(phases, (QStringList{"idle", "listening", "transcribing", "loadingModel", "generating",
                                      "completed", "cancelled", "error"}));
        for (AgentPhase phase : allCases<AgentPhase>())
            QCOMPARE(fromText<AgentPhase>(toText(phase)), phase);
        QVERIFY(!fromText<AgentPhase>(QStringLiteral("loading")));
        QCOMPARE(toText(AgentMessageRole::Assistant), QStringLiteral("assistant"));
        QCOMPARE(fromText<AgentAttachmentKind>(QStringLiteral("selectedText")), AgentAttachmentKind::SelectedText);
        QVERIFY(!fromText<AgentAttachmentKind>(QStringLiteral("SelectedText")));
    }

    void runsAreInFlightWhileWorking()
    {
        QList<AgentPhase> inFlight;
        for (AgentPhase phase : allCases<AgentPhase>())
            if (isRunInFlight(phase))
                inFlight.append(phase);
        QCOMPARE(inFlight, (QList<AgentPhase>{AgentPhase::Listening, AgentPhase::Transcribing,
                                              AgentPhase::LoadingModel, AgentPhase::Generating}));
    }

    void progressTicks_data()
    {
        QTest::addColumn<AgentPhase>("phase");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("generating, proportional") << AgentPhase::Generating << 0.5 << 0.50864;
        QTest::newRow("generating, least step near the end") << AgentPhase::Generating << 0.97 << 0.9705;
        QTest::newRow("generating, below 0.9 least step") << AgentPhase::Generating << 0.89 << 0.892;
        QTest::newRow("generating, capped") << AgentPhase::Generating << 0.9799 << 0.98;
        QTest::newRow("generating, above the target") << AgentPhase::Generating << 0.99 << 0.98;
        QTest::newRow("loading, least step") << AgentPhase::LoadingModel << 0.30 << 0.304;
        QTest::newRow("loading from zero") << AgentPhase::LoadingModel << 0.0 << 0.016;
        QTest::newRow("loading, above the target") << AgentPhase::LoadingModel << 0.5 << 0.32;
        QTest::newRow("idle") << AgentPhase::Idle << 0.3 << 0.3;
        QTest::newRow("listening") << AgentPhase::Listening << 0.3 << 0.3;
        QTest::newRow("transcribing") << AgentPhase::Transcribing << 0.3 << 0.3;
        QTest::newRow("completed") << AgentPhase::Completed << 0.99 << 0.99;
        QTest::newRow("cancelled") << AgentPhase::Cancelled << 0.3 << 0.3;
        QTest::newRow("error") << AgentPhase::Error << 0.3 << 0.3;
    }

    void progressTicks()
    {
        QFETCH(AgentPhase, phase);
        QFETCH(double, from);
        QFETCH(double, to);
        QVERIFY2(qAbs(AgentProgressEstimator::tick(from, phase) - to) < 1e-12,
                 qPrintable(QString::number(AgentProgressEstimator::tick(from, phase), 'g', 17)));
    }

    void progressNeverPassesItsTarget()
    {
        double progress = 0;
        for (int i = 0; i < 2000; ++i) {
            const double next = AgentProgressEstimator::tick(progress, AgentPhase::Generating);
            QVERIFY(next > progress || next == 0.98);
            QVERIFY(next <= 0.98);
            progress = next;
        }
        QCOMPARE(progress, 0.98);
    }

    void progressAfterDeltas_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<int>("characters");
        QTest::addColumn<double>("to");
        QTest::newRow("first piece") << 0.1 << 1 << 0.402;
        QTest::newRow("at exactly 0.4") << 0.4 << 10 << 0.404;
        QTest::newRow("proportional") << 0.5 << 10 << 0.504;
        QTest::newRow("largest increment") << 0.5 << 1000 << 0.512;
        QTest::newRow("capped") << 0.975 << 20 << 0.98;
        QTest::newRow("empty piece") << 0.5 << 0 << 0.502;
    }

    void progressAfterDeltas()
    {
        QFETCH(double, from);
        QFETCH(int, characters);
        QFETCH(double, to);
        QVERIFY(qAbs(AgentProgressEstimator::receivedDelta(from, characters) - to) < 1e-12);
    }

    void completionNoticeBodies_data()
    {
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("pasteKey");
        QTest::addColumn<QString>("body");
        QTest::newRow("pasted into Mail") << true << false << "Mail" << "Ctrl+V" << "Pasted into Mail.";
        QTest::newRow("pasted and copied") << true << true << "Mail" << "Ctrl+V" << "Pasted into Mail and copied to the clipboard.";
        QTest::newRow("pasted, no name, copied") << true << true << "" << "Ctrl+V" << "Pasted and copied to the clipboard.";
        QTest::newRow("name kept untrimmed") << true << false << " Mail " << "Ctrl+V" << "Pasted into  Mail .";
        QTest::newRow("copied only") << false << true << "Mail" << "Ctrl+V"
                                     << QStringLiteral("Copied to the clipboard \u2014 press Ctrl+V to paste.");
        QTest::newRow("copied only, into a terminal") << false << true << "Terminal" << "Ctrl+Shift+V"
                                                      << QStringLiteral("Copied to the clipboard \u2014 press Ctrl+Shift+V to paste.");
        QTest::newRow("copied only, no paste key") << false << true << "XTerm" << "" << "Copied to the clipboard.";
        QTest::newRow("neither") << false << false << "Mail" << "Ctrl+V" << "The result is ready in the Command panel.";
    }

    void completionNoticeBodies()
    {
        QFETCH(bool, pasted);
        QFETCH(bool, copied);
        QFETCH(QString, application);
        QFETCH(QString, pasteKey);
        QFETCH(QString, body);
        QCOMPARE(AgentCompletionNotice::body(pasted, copied, application, pasteKey), body);
    }

    void userPerceivedCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("cut");
        QTest::addColumn<QString>("prefix");
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
        const QString flag = QStringLiteral("\U0001F1E9\U0001F1EA");
        QTest::newRow("empty") << QString() << 0 << 3 << QString();
        QTest::newRow("plain") << QStringLiteral("abcdef") << 6 << 3 << QStringLiteral("abc");
        QTest::newRow("shorter than the cut") << QStringLiteral("ab") << 2 << 5 << QStringLiteral("ab");
        QTest::newRow("combining mark") << QStringLiteral("e\u0301te") << 3 << 1 << QStringLiteral("e\u0301");
        QTest::newRow("family emoji") << (QStringLiteral("a") + family + QStringLiteral("b")) << 3 << 2
                                      << (QStringLiteral("a") + family);
        QTest::newRow("flag") << (flag + flag) << 2 << 1 << flag;
    }

    void userPerceivedCharacters()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(int, cut);
        QFETCH(QString, prefix);
        QCOMPARE(userPerceivedLength(text), length);
        QCOMPARE(userPerceivedPrefix(text, cut), prefix);
    }
};

QTEST_GUILESS_MAIN(AgentConversationTest)
#include "tst_agent_conversation.moc"
