// A stand-in for llama.cpp's llama-server, for the tests: the same command line as far as
// the runtime uses it (--model, --mmproj, --host, --port; other options are accepted and
// ignored) and the same endpoints (GET /health, POST /v1/chat/completions streaming).
//
// It exits 1 after llama.cpp-style log lines (time, level) when the model file is missing or
// begins with "broken", and aborts as a crash does when it begins with "crash".
// Like the real server it refuses (HTTP 400, "exceed_context_size_error") a prompt longer than
// its context: --ctx-size tokens, 2048 without it, counting four bytes of text as a token.
// $SORVANE_FAKE_LLAMA_ENDLESS: the answer never ends of itself; it stops at the request's
// "max_tokens" (one word a token) with finish reason "length".
// $SORVANE_FAKE_LLAMA_STREAM_ERROR: the stream carries the server's "error:" line instead.
// $SORVANE_FAKE_LLAMA_EXIT_ON_CHAT: the server exits when a chat request comes.
// $SORVANE_FAKE_LLAMA_STALL: the answer's first words stream, then nothing more comes and
// the connection stays open (a "stalled" record is logged once they are written), so a
// test can stop a process in the middle of an answer.
// /health answers 503 "Loading model" for $SORVANE_FAKE_LLAMA_LOAD_MS milliseconds, then 200.
// The answer streams "Answer from <model file name>" word by word. It starts one child in its
// own process group that only waits, as a server's helper process might. With
// $SORVANE_FAKE_LLAMA_THINK set the answer begins with a "<think>" block, as a reasoning
// model's does.
//
// When $SORVANE_FAKE_LLAMA_LOG names a file, one JSON record per line is appended to it:
// the start (pid, process group, arguments, child, OMP_WAIT_POLICY), each health check and each
// chat request.

#include "FakeChatServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void logRecord(QJsonObject record)
{
    const QString path = qEnvironmentVariable("SORVANE_FAKE_LLAMA_LOG");
    if (path.isEmpty())
        return;
    record.insert(QStringLiteral("pid"), qint64(::getpid()));
    QFile file(path);
    if (file.open(QIODevice::Append))
        file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString model, projector, host = QStringLiteral("127.0.0.1");
    quint16 port = 8080;
    qint64 contextTokens = 2048;
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        const QString &option = arguments[i];
        if (option == QLatin1String("-m") || option == QLatin1String("--model"))
            model = arguments[++i];
        else if (option == QLatin1String("--mmproj"))
            projector = arguments[++i];
        else if (option == QLatin1String("--host"))
            host = arguments[++i];
        else if (option == QLatin1String("--port"))
            port = quint16(arguments[++i].toUInt());
        else if (option == QLatin1String("-c") || option == QLatin1String("--ctx-size"))
            contextTokens = arguments[++i].toLongLong();
    }

    QFile modelFile(model);
    const QByteArray head = modelFile.open(QIODevice::ReadOnly) ? modelFile.read(6) : QByteArray();
    if (head.startsWith("crash")) {
        std::fprintf(stderr, "0.00.002.114 I srv    load_model: loading model '%s'\n", qPrintable(model));
        std::fprintf(stderr, "terminate called without an active exception\n");
        std::fflush(stderr);
        std::signal(SIGABRT, SIG_DFL);
        ::kill(::getpid(), SIGABRT);
    }
    if (model.isEmpty() || head.isEmpty() || head == "broken") {
        std::fprintf(stderr, "0.00.002.114 I srv    load_model: loading model '%s'\n", qPrintable(model));
        std::fprintf(stderr, "0.00.011.902 E llama_model_load: error loading model: invalid magic characters\n");
        std::fprintf(stderr, "0.00.012.377 E common_init_from_params: failed to load model '%s'\n", qPrintable(model));
        std::fprintf(stderr, "0.00.013.546 E srv    llama_server: exiting due to model loading error\n");
        return 1;
    }

    const pid_t child = ::fork();
    if (child == 0) {
        for (;;)
            ::pause();
    }

    sorvane::testing::FakeChatServer server;
    if (host != QLatin1String("127.0.0.1") || !server.listen(port)) {
        std::fprintf(stderr, "couldn't bind HTTP server socket, hostname: %s, port: %d\n", qPrintable(host), port);
        return 1;
    }
    logRecord({{QStringLiteral("event"), QStringLiteral("start")},
               {QStringLiteral("processGroup"), qint64(::getpgrp())},
               {QStringLiteral("arguments"), QJsonArray::fromStringList(arguments)},
               {QStringLiteral("child"), qint64(child)},
               {QStringLiteral("ompWaitPolicy"), qEnvironmentVariable("OMP_WAIT_POLICY")}});

    QElapsedTimer sinceStart;
    sinceStart.start();
    const qint64 loadMs = qEnvironmentVariableIntValue("SORVANE_FAKE_LLAMA_LOAD_MS");
    const QString modelName = QFileInfo(model).fileName();
    server.setHandler([&](const sorvane::testing::FakeChatServer::Request &request) {
        using Server = sorvane::testing::FakeChatServer;
        if (request.path == "/health") {
            const bool loaded = sinceStart.elapsed() >= loadMs;
            logRecord({{QStringLiteral("event"), QStringLiteral("health")}, {QStringLiteral("ready"), loaded}});
            if (!loaded)
                return Server::error(503, R"({"error":{"code":503,"message":"Loading model","type":"unavailable_error"}})");
            return Server::error(200, R"({"status":"ok"})");
        }
        if (request.path == "/v1/chat/completions" && request.method == "POST") {
            logRecord({{QStringLiteral("event"), QStringLiteral("chat")}, {QStringLiteral("body"), request.json()}});
            if (qEnvironmentVariableIsSet("SORVANE_FAKE_LLAMA_EXIT_ON_CHAT"))
                ::_exit(1);
            qint64 promptBytes = 0;
            for (const QJsonValue &message : request.json().value(QStringLiteral("messages")).toArray())
                promptBytes += message.toObject().value(QStringLiteral("content")).toString().toUtf8().size();
            const qint64 promptTokens = promptBytes / 4 + 8;
            if (promptTokens > contextTokens) {
                return Server::error(400, QStringLiteral(R"({"error":{"code":400,"message":"request (%1 tokens) exceeds )"
                                                         R"(the available context size (%2 tokens), try increasing it",)"
                                                         R"("type":"exceed_context_size_error","n_prompt_tokens":%1,"n_ctx":%2}})")
                                              .arg(promptTokens)
                                              .arg(contextTokens)
                                              .toUtf8());
            }
            if (qEnvironmentVariableIsSet("SORVANE_FAKE_LLAMA_STREAM_ERROR")) {
                Server::Reply reply;
                reply.writes = {Server::contentEvent(QStringLiteral("Partial")),
                                R"(error: {"code":500,"message":"failed to decode the batch: KV cache is full","type":"server_error"})"
                                "\n\n"};
                return reply;
            }
            if (qEnvironmentVariableIsSet("SORVANE_FAKE_LLAMA_STALL")) {
                Server::Reply reply;
                reply.writes = {Server::contentEvent(QStringLiteral("Answer")), Server::contentEvent(QStringLiteral(" from"))};
                reply.stall = true;
                return reply;
            }
            if (qEnvironmentVariableIsSet("SORVANE_FAKE_LLAMA_ENDLESS")) {
                // Without a limit this goes on until the runtime gives up.
                const qint64 limit = request.json().value(QStringLiteral("max_tokens")).toInteger(-1);
                Server::Reply reply;
                reply.delay = limit < 0 ? 5 : 0;
                for (qint64 n = 0; n < (limit < 0 ? 100000 : limit); ++n)
                    reply.writes.append(Server::contentEvent(QStringLiteral("more ")));
                if (limit >= 0) {
                    reply.writes.append(Server::finishEvent("length"));
                    reply.writes.append(Server::doneEvent());
                }
                return reply;
            }
            QStringList pieces{QStringLiteral("Answer"), QStringLiteral(" from "), modelName};
            if (qEnvironmentVariableIsSet("SORVANE_FAKE_LLAMA_THINK"))
                pieces = QStringList{QStringLiteral("<thi"), QStringLiteral("nk>\nThe user wants"),
                                     QStringLiteral(" a reply.</th"), QStringLiteral("ink>\n"), QStringLiteral("\n")} +
                         pieces;
            return Server::streamOf(pieces);
        }
        return Server::error(404, R"({"error":{"code":404,"message":"File Not Found","type":"not_found_error"}})");
    });
    QObject::connect(&server, &sorvane::testing::FakeChatServer::stalled,
                     [] { logRecord({{QStringLiteral("event"), QStringLiteral("stalled")}}); });
    return app.exec();
}
