#include "SorvaneAppleBridge/Bridge.h"
#include "SorvaneAppleBridge/StandardStreams.h"
#include "SorvaneAppleBridge/SystemLanguageModel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace sorvane::bridge;

namespace {

// A model that reports what it was told to and records what it was asked.
class FakeLanguageModel final : public LanguageModel {
public:
    bool available = true;
    ModelAvailability reason = ModelAvailability::Available;
    ModelAnswer answer = ModelAnswer::success(QStringLiteral("answer"));

    int availabilityReads = 0;
    int respondCalls = 0;
    QString seenInstructions;
    QString seenPrompt;

    bool isAvailable() override { return available; }
    ModelAvailability availability() override
    {
        ++availabilityReads;
        return reason;
    }
    ModelAnswer respond(const QString &instructions, const QString &prompt) override
    {
        ++respondCalls;
        seenInstructions = instructions;
        seenPrompt = prompt;
        return answer;
    }
};

QString loneSurrogate()
{
    return QString(QChar(0xD83D)) + QStringLiteral(" broken");
}

// Every response, whatever the case: one compact object, "ok" first, two keys, no null,
// nothing after the closing brace.
void verifyResponseShape(const QByteArray &output)
{
    QVERIFY2(output.startsWith("{\"ok\":"), output.constData());
    QVERIFY2(output.endsWith('}'), output.constData());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(output, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(document.isObject());
    const QJsonObject object = document.object();
    QCOMPARE(object.size(), 2);
    QVERIFY(object.value(QStringLiteral("ok")).isBool());
    const QString detailKey =
        object.value(QStringLiteral("ok")).toBool() ? QStringLiteral("text") : QStringLiteral("error");
    QVERIFY2(object.value(detailKey).isString(), output.constData());
}

} // namespace

Q_DECLARE_METATYPE(sorvane::bridge::ModelAvailability)

class BridgeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The write tests provoke a broken pipe; the program ignores SIGPIPE the same way.
        std::signal(SIGPIPE, SIG_IGN);
    }

    void answersOneRequest_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("available");
        QTest::addColumn<ModelAvailability>("reason");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("answer"); // the text, or the failure's description
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<int>("respondCalls");
        QTest::addColumn<QString>("instructions"); // what the model was given
        QTest::addColumn<QString>("prompt");

        // Outputs with escaped quotes are ordinary literals: moc misreads them in raw strings.
        const QByteArray plain = R"({"instructions":"Be brief.","prompt":"Hello"})";
        const auto unreadable = [](const char *name, const QByteArray &input, const QByteArray &output) {
            QTest::newRow(name) << input << true << ModelAvailability::Available << true
                                << QStringLiteral("never asked") << output << 1 << 0 << QString()
                                << QString();
        };
        unreadable("empty", "", R"({"ok":false,"error":"The request is empty."})");
        unreadable("only white space", " \n",
                   R"({"ok":false,"error":"The request is not valid JSON: illegal value at offset 2."})");
        unreadable("not JSON", "Hello",
                   R"({"ok":false,"error":"The request is not valid JSON: illegal value at offset 1."})");
        unreadable("text after the object", plain + " {}",
                   R"({"ok":false,"error":"The request is not valid JSON: garbage at the end of the document at offset 46."})");
        unreadable("invalid UTF-8", "{\"instructions\":\"\",\"prompt\":\"\xC3(\"}",
                   R"({"ok":false,"error":"The request is not valid JSON: invalid UTF8 string at offset 29."})");
        unreadable("an array", "[" + plain + "]",
                   R"({"ok":false,"error":"The request is not a JSON object."})");
        unreadable("no fields", "{}", "{\"ok\":false,\"error\":\"The request has no \\\"instructions\\\".\"}");
        unreadable("prompt missing", R"({"instructions":"Be brief."})",
                   "{\"ok\":false,\"error\":\"The request has no \\\"prompt\\\".\"}");
        unreadable("prompt null", R"({"instructions":"Be brief.","prompt":null})",
                   "{\"ok\":false,\"error\":\"The request's \\\"prompt\\\" is null.\"}");
        unreadable("prompt a number", R"({"instructions":"Be brief.","prompt":42})",
                   "{\"ok\":false,\"error\":\"The request's \\\"prompt\\\" is not a string.\"}");
        unreadable("instructions an object", R"({"instructions":{"text":"x"},"prompt":"Hello"})",
                   "{\"ok\":false,\"error\":\"The request's \\\"instructions\\\" is not a string.\"}");
        unreadable("instructions false", R"({"instructions":false,"prompt":"Hello"})",
                   "{\"ok\":false,\"error\":\"The request's \\\"instructions\\\" is not a string.\"}");

        QTest::newRow("answered") << plain << true << ModelAvailability::Available << true
                                  << QStringLiteral("Hi.") << QByteArray(R"({"ok":true,"text":"Hi."})")
                                  << 0 << 1 << QStringLiteral("Be brief.") << QStringLiteral("Hello");
        QTest::newRow("extra keys ignored")
            << QByteArray("{\"model\":\"x\",\"instructions\":\"Be brief.\",\"prompt\":\"Caf\\u00e9\",\"n\":null}")
            << true << ModelAvailability::Available << true << QStringLiteral("Hi.")
            << QByteArray(R"({"ok":true,"text":"Hi."})") << 0 << 1 << QStringLiteral("Be brief.")
            << QStringLiteral("Café");
        QTest::newRow("empty instructions")
            << QByteArray(R"({"instructions":"","prompt":"Hello"})") << true
            << ModelAvailability::Available << true << QStringLiteral("Hi.")
            << QByteArray(R"({"ok":true,"text":"Hi."})") << 0 << 1 << QString() << QStringLiteral("Hello");
        QTest::newRow("empty answer") << plain << true << ModelAvailability::Available << true << QString()
                                      << QByteArray(R"({"ok":true,"text":""})") << 0 << 1
                                      << QStringLiteral("Be brief.") << QStringLiteral("Hello");
        QTest::newRow("answer with quotes, breaks and other text")
            << plain << true << ModelAvailability::Available << true
            << QStringLiteral("He said \"hi\"\nthen\tleft \\ a/b \u0001 é 😀")
            << QByteArray("{\"ok\":true,\"text\":\"He said \\\"hi\\\"\\nthen\\tleft \\\\ a/b \\u0001 "
                          "\xC3\xA9 \xF0\x9F\x98\x80\"}")
            << 0 << 1 << QStringLiteral("Be brief.") << QStringLiteral("Hello");
        QTest::newRow("model error") << plain << true << ModelAvailability::Available << false
                                     << QStringLiteral("The \"context\" is too long.")
                                     << QByteArray("{\"ok\":false,\"error\":\"The \\\"context\\\" is too long.\"}")
                                     << 1 << 1 << QStringLiteral("Be brief.") << QStringLiteral("Hello");
        QTest::newRow("model error without a description")
            << plain << true << ModelAvailability::Available << false << QString()
            << QByteArray(R"({"ok":false,"error":""})") << 1 << 1 << QStringLiteral("Be brief.")
            << QStringLiteral("Hello");
        QTest::newRow("answer that cannot be encoded")
            << plain << true << ModelAvailability::Available << true << loneSurrogate()
            << QByteArray(R"({"ok":false,"error":"The response could not be encoded."})") << 1 << 1
            << QStringLiteral("Be brief.") << QStringLiteral("Hello");
        QTest::newRow("model error that cannot be encoded")
            << plain << true << ModelAvailability::Available << false << loneSurrogate()
            << QByteArray(R"({"ok":false,"error":"The response could not be encoded."})") << 1 << 1
            << QStringLiteral("Be brief.") << QStringLiteral("Hello");

        const auto unavailable = [&](const char *name, ModelAvailability reason, const QByteArray &output) {
            QTest::newRow(name) << plain << false << reason << true << QStringLiteral("never asked") << output
                                << 1 << 0 << QString() << QString();
        };
        unavailable("device not eligible", ModelAvailability::DeviceNotEligible,
                    R"({"ok":false,"error":"This computer is not eligible for the on-device model."})");
        unavailable("model not ready", ModelAvailability::ModelNotReady,
                    R"({"ok":false,"error":"The on-device model is not ready."})");
        unavailable("another reason", ModelAvailability::Unavailable,
                    R"({"ok":false,"error":"The on-device model is unavailable."})");
        unavailable("became available meanwhile", ModelAvailability::Available,
                    R"({"ok":false,"error":"The on-device model is available."})");
    }

    void answersOneRequest()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, available);
        QFETCH(ModelAvailability, reason);
        QFETCH(bool, answers);
        QFETCH(QString, answer);
        QFETCH(QByteArray, output);
        QFETCH(int, exitStatus);
        QFETCH(int, respondCalls);
        QFETCH(QString, instructions);
        QFETCH(QString, prompt);

        FakeLanguageModel model;
        model.available = available;
        model.reason = reason;
        model.answer = answers ? ModelAnswer::success(answer) : ModelAnswer::failure(answer);

        const BridgeOutcome outcome = answerRequest(input, model);
        QCOMPARE(outcome.output, output);
        QCOMPARE(outcome.exitStatus, exitStatus);
        QCOMPARE(model.respondCalls, respondCalls);
        // The reason is asked for only when the model said it cannot answer (every
        // unreadable request above comes with an available model).
        QCOMPARE(model.availabilityReads, available ? 0 : 1);
        if (respondCalls > 0) {
            QCOMPARE(model.seenInstructions, instructions);
            QCOMPARE(model.seenPrompt, prompt);
        }
        verifyResponseShape(outcome.output);
    }

    void linuxModelIsNotEligible()
    {
        SystemLanguageModel model;
        QVERIFY(!model.isAvailable());
        QCOMPARE(model.availability(), ModelAvailability::DeviceNotEligible);
        const ModelAnswer answer = model.respond(QString(), QStringLiteral("Hello"));
        QVERIFY(!answer.answered);
        QCOMPARE(answer.error, QStringLiteral("This computer is not eligible for the on-device model."));

        const BridgeOutcome outcome =
            answerRequest(R"({"instructions":"","prompt":"Hello"})", model);
        QCOMPARE(outcome.output,
                 QByteArray(R"({"ok":false,"error":"This computer is not eligible for the on-device model."})"));
        QCOMPARE(outcome.exitStatus, 1);
    }

    void writesEverythingToAFullPipe()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        // A non-blocking pipe takes far less than this at once.
        QVERIFY(::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK) == 0);
        QByteArray payload(1 << 20, '\0');
        for (qsizetype i = 0; i < payload.size(); ++i)
            payload[i] = char('a' + i % 26);

        std::optional<QByteArray> received;
        std::thread reader([&] { received = readToEnd(fds[0]); });
        const bool written = writeAll(fds[1], payload);
        ::close(fds[1]);
        reader.join();
        ::close(fds[0]);

        QVERIFY(written);
        QVERIFY(received.has_value());
        QCOMPARE(received->size(), payload.size());
        QVERIFY(*received == payload);
    }

    void reportsFailedStreams()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        ::close(fds[0]);
        QVERIFY(!writeAll(fds[1], "{\"ok\":false}"));
        ::close(fds[1]);

        // No descriptor at all, as when the caller closed the stream before starting us.
        QVERIFY(!readToEnd(-1).has_value());
        QVERIFY(!writeAll(-1, "x"));
    }
};

QTEST_GUILESS_MAIN(BridgeTest)
#include "tst_bridge.moc"
