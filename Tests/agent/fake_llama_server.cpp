// A stand-in for llama.cpp's llama-server, for the tests: the same command line as far as
// the runtime uses it (--model, --mmproj, --host, --port; other options are accepted and
// ignored) and the same endpoints (GET /health, POST /v1/chat/completions streaming).
//
// It exits 1 with an error line when the model file is missing or begins with "broken".
// /health answers 503 "Loading model" for $SORVANE_FAKE_LLAMA_LOAD_MS milliseconds, then 200.
// The answer streams "Answer from <model file name>" word by word. It starts one child in its
// own process group that only waits, as a server's helper process might. With
// $SORVANE_FAKE_LLAMA_THINK set the answer begins with a "<think>" block, as a reasoning
// model's does.
//
// When $SORVANE_FAKE_LLAMA_LOG names a file, one JSON record per line is appended to it:
// the start (pid, process group, arguments, child), each health check and each chat request.

#include "FakeChatServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
    }

    QFile modelFile(model);
    if (model.isEmpty() || !modelFile.open(QIODevice::ReadOnly) || modelFile.read(6) == "broken") {
        std::fprintf(stderr, "llama_model_load: error loading model: failed to open %s\n", qPrintable(model));
        std::fprintf(stderr, "main: exiting due to model loading error\n");
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
               {QStringLiteral("child"), qint64(child)}});

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
            QStringList pieces{QStringLiteral("Answer"), QStringLiteral(" from "), modelName};
            if (qEnvironmentVariableIsSet("SORVANE_FAKE_LLAMA_THINK"))
                pieces = QStringList{QStringLiteral("<thi"), QStringLiteral("nk>\nThe user wants"),
                                     QStringLiteral(" a reply.</th"), QStringLiteral("ink>\n"), QStringLiteral("\n")} +
                         pieces;
            return Server::streamOf(pieces);
        }
        return Server::error(404, R"({"error":{"code":404,"message":"File Not Found","type":"not_found_error"}})");
    });
    return app.exec();
}
