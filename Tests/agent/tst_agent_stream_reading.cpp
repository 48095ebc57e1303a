// Reading a provider's event stream, and leaving out a reasoning model's leading thought:
// tables of chunkings and what comes out of them.

#include "SorvaneAgent/ChatStream.h"

#include <QTest>

using sorvane::agent::ChatStreamDecoder;
using sorvane::agent::LeadingThoughtFilter;

class AgentStreamReadingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodesTheEventStream_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<bool>("finished");
        QTest::addColumn<QString>("error");
        const QByteArray one = R"(data: {"choices":[{"delta":{"content":"One"}}]})";
        const QByteArray two = R"(data: {"choices":[{"delta":{"content":" two"},"finish_reason":"stop"}]})";
        QTest::newRow("lines with line feeds") << QList<QByteArray>{one + "\n\n" + two + "\n\n"}
                                               << QStringList{"One", " two"} << true << QString();
        QTest::newRow("carriage returns, comments and other fields")
            << QList<QByteArray>{": keep-alive\r\n\r\nevent: message\r\nid: 7\r\n" + one + "\r\n\r\n"}
            << QStringList{"One"} << false << QString();
        QTest::newRow("no space after data:") << QList<QByteArray>{R"(data:{"choices":[{"delta":{"content":"x"}}]})" "\n"}
                                              << QStringList{"x"} << false << QString();
        QTest::newRow("a line in three chunks") << QList<QByteArray>{one.left(10), one.mid(10, 20), one.mid(30) + "\n"}
                                                << QStringList{"One"} << false << QString();
        QTest::newRow("a line without its newline yet") << QList<QByteArray>{one} << QStringList{} << false << QString();
        QTest::newRow("done") << QList<QByteArray>{one + "\n", "data: [DONE]\n"} << QStringList{"One"} << true << QString();
        QTest::newRow("role and empty content only")
            << QList<QByteArray>{R"(data: {"choices":[{"delta":{"role":"assistant","content":""}}]})" "\n"}
            << QStringList{} << false << QString();
        // A reasoning model (Mistral's) sends content as typed parts: its thinking is not the answer.
        QTest::newRow("content as typed parts")
            << QList<QByteArray>{R"(data: {"choices":[{"delta":{"content":[{"type":"thinking","thinking":[{"type":"text","text":"The user wants"}]}]}}]})" "\n",
                                 R"(data: {"choices":[{"delta":{"content":[{"type":"text","text":"Dear"},{"type":"text","text":" team"}]}}]})" "\n",
                                 R"(data: {"choices":[{"delta":{"content":"!"},"finish_reason":"stop"}]})" "\n"}
            << QStringList{"Dear team", "!"} << true << QString();
        QTest::newRow("an error inside the stream")
            << QList<QByteArray>{R"(data: {"error":{"message":"Context length exceeded","type":"invalid_request_error"}})" "\n"}
            << QStringList{} << false << QStringLiteral("Context length exceeded");
        // llama-server's own form: an "error:" field of the stream.
        QTest::newRow("the server's error line")
            << QList<QByteArray>{one + "\n\n", R"(error: {"code":500,"message":"KV cache is full","type":"server_error"})" "\n\n"}
            << QStringList{"One"} << false << QStringLiteral("KV cache is full");
        QTest::newRow("the server's error line as plain text")
            << QList<QByteArray>{"error: the model crashed\n"} << QStringList{} << false << QStringLiteral("the model crashed");
    }

    void tellsAnAnswerCutForLength_data()
    {
        QTest::addColumn<QByteArray>("reason");
        QTest::addColumn<bool>("cut");
        QTest::newRow("stopped by the model") << QByteArray("stop") << false;
        QTest::newRow("stopped at the length limit") << QByteArray("length") << true;
    }

    void tellsAnAnswerCutForLength()
    {
        QFETCH(QByteArray, reason);
        QFETCH(bool, cut);
        ChatStreamDecoder decoder;
        const ChatStreamDecoder::Output output =
            decoder.feed("data: {\"choices\":[{\"delta\":{\"content\":\"Half\"},\"finish_reason\":\"" + reason + "\"}]}\n\n");
        QVERIFY(output.finished);
        QCOMPARE(output.cutForLength, cut);
    }

    void tellsAContextTooLarge_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("tooLarge");
        QTest::newRow("llama-server's error line")
            << QByteArray(R"(error: {"code":400,"message":"request (6083 tokens) exceeds the available context size (2048 tokens), try increasing it","type":"exceed_context_size_error"})")
            << true;
        QTest::newRow("a provider's code") << QByteArray(R"(data: {"error":{"message":"Too long.","code":"context_length_exceeded"}})") << true;
        QTest::newRow("another error") << QByteArray(R"(data: {"error":{"message":"Overloaded.","type":"server_error"}})") << false;
    }

    void tellsAContextTooLarge()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, tooLarge);
        ChatStreamDecoder decoder;
        const ChatStreamDecoder::Output output = decoder.feed(line + "\n\n");
        QVERIFY(output.error);
        QCOMPARE(output.contextTooLarge, tooLarge);
    }

    void dropsALineTooLongToBeAnEvent()
    {
        ChatStreamDecoder decoder;
        const QByteArray start = "data: {\"choices\":[{\"delta\":{\"content\":\"";
        QVERIFY(!decoder.feed(start + QByteArray(ChatStreamDecoder::maxLineBytes / 2, 'x')).lineTooLong);
        QVERIFY(decoder.feed(QByteArray(ChatStreamDecoder::maxLineBytes / 2, 'x')).lineTooLong);
        // What follows is read afresh.
        const ChatStreamDecoder::Output next = decoder.feed("\n" + start + "ok\"}}]}\n");
        QCOMPARE(next.pieces, QStringList{QStringLiteral("ok")});
    }

    void decodesTheEventStream()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, pieces);
        QFETCH(bool, finished);
        QFETCH(QString, error);
        ChatStreamDecoder decoder;
        QStringList seen;
        bool sawFinish = false;
        QString sawError;
        for (const QByteArray &chunk : chunks) {
            const ChatStreamDecoder::Output output = decoder.feed(chunk);
            seen += output.pieces;
            sawFinish = sawFinish || output.finished;
            if (output.error)
                sawError = *output.error;
        }
        QCOMPARE(seen, pieces);
        QCOMPARE(sawFinish, finished);
        QCOMPARE(decoder.sawEnd(), finished);
        QCOMPARE(sawError, error);
    }

    void leavesOutALeadingThought_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("answer");
        QTest::newRow("no thought") << QStringList{"Hello", " world"} << QStringLiteral("Hello world");
        QTest::newRow("leading space kept") << QStringList{" ", "Hi"} << QStringLiteral(" Hi");
        QTest::newRow("a heart, not a tag") << QStringList{"<", "3 apples"} << QStringLiteral("<3 apples");
        QTest::newRow("thought in pieces") << QStringList{"<thi", "nk>why", " so</th", "ink>\n\n", "Answer"}
                                           << QStringLiteral("Answer");
        QTest::newRow("thought after blank lines") << QStringList{"\n<think>x</think>Yes"} << QStringLiteral("Yes");
        QTest::newRow("a thought that never ends") << QStringList{"<think>", "still thinking"} << QString();
        QTest::newRow("only the start of a tag") << QStringList{"<th"} << QStringLiteral("<th");
        QTest::newRow("a tag later in the answer") << QStringList{"Use ", "<think> tags", "</think>"}
                                                   << QStringLiteral("Use <think> tags</think>");
        QTest::newRow("a second tag after the thought") << QStringList{"<think>a</think>", "B <think>c</think>"}
                                                        << QStringLiteral("B <think>c</think>");
    }

    void leavesOutALeadingThought()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QString, answer);
        LeadingThoughtFilter filter;
        QString shown;
        for (const QString &piece : pieces)
            shown += filter.feed(piece);
        shown += filter.finish();
        QCOMPARE(shown, answer);
    }
};

QTEST_GUILESS_MAIN(AgentStreamReadingTest)
#include "tst_agent_stream_reading.moc"
