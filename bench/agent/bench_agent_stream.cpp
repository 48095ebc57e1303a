// How quickly the Command runtime passes a provider's stream on: a loopback provider streams
// to the real sorvane-agent, and this program reads its event lines.
//
//   bench_agent_stream [short runs] [long answer pieces]     (default 50 and 20000)
//
// Prints the time from writing a request line to the first "delta" event, the time from the
// provider's first chunk to that event, and for a long answer the deltas per second in each
// tenth of the answer (a cost that grew with the answer's length would show as a falling rate).

#include "FakeChatServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <functional>

using sorvane::testing::FakeChatServer;

namespace {

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[qsizetype(p * double(values.size() - 1))];
}

// The runtime, with its event lines counted as they arrive.
struct Runtime {
    QProcess process;
    QByteArray buffer;
    QElapsedTimer *clock = nullptr;
    qint64 firstDeltaNs = -1;
    QList<qint64> deltaTimesNs;
    bool ended = false;
    QString failure;

    void read()
    {
        buffer += process.readAllStandardOutput();
        qsizetype start = 0;
        for (qsizetype newline = buffer.indexOf('\n'); newline >= 0; newline = buffer.indexOf('\n', start)) {
            const QByteArrayView line(buffer.constData() + start, newline - start);
            start = newline + 1;
            if (line.contains("\"kind\":\"delta\"")) {
                const qint64 now = clock->nsecsElapsed();
                if (firstDeltaNs < 0)
                    firstDeltaNs = now;
                deltaTimesNs.append(now);
            } else if (line.contains("\"kind\":\"completed\"")) {
                ended = true;
            } else if (line.contains("\"kind\":\"error\"")) {
                ended = true;
                failure = QJsonDocument::fromJson(line.toByteArray()).object().value(QStringLiteral("text")).toString();
            }
        }
        buffer.remove(0, start);
    }

    void reset()
    {
        firstDeltaNs = -1;
        deltaTimesNs.clear();
        ended = false;
        failure.clear();
    }
};

QByteArray requestLine()
{
    const QJsonObject model{{QStringLiteral("id"), QStringLiteral("openai-luna")},
                            {QStringLiteral("name"), QStringLiteral("Luna")},
                            {QStringLiteral("officialName"), QStringLiteral("gpt-5.6-luna")},
                            {QStringLiteral("provider"), QStringLiteral("openAI")},
                            {QStringLiteral("capabilities"),
                             QJsonObject{{QStringLiteral("text"), true}, {QStringLiteral("images"), true}}}};
    const QJsonObject request{{QStringLiteral("version"), 1},
                              {QStringLiteral("requestID"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()},
                              {QStringLiteral("command"), QStringLiteral("run")},
                              {QStringLiteral("model"), model},
                              {QStringLiteral("instruction"), QStringLiteral("Write at length")},
                              {QStringLiteral("attachments"), QJsonArray{}},
                              {QStringLiteral("cloudAPIKey"), QStringLiteral("sk-bench")},
                              {QStringLiteral("ephemeralSession"), true}};
    return QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int shortRuns = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    const int longPieces = argc > 2 ? std::max(10, atoi(argv[2])) : 20000;

    FakeChatServer server;
    if (!server.listen()) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 firstChunkNs = -1;
    QObject::connect(&server, &FakeChatServer::wrote, [&](qint64) {
        if (firstChunkNs < 0)
            firstChunkNs = clock.nsecsElapsed();
    });

    Runtime runtime;
    runtime.clock = &clock;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SORVANE_AGENT_OPENAI_BASE_URL"), server.url(QStringLiteral("/v1")).toString());
    runtime.process.setProcessEnvironment(environment);
    QObject::connect(&runtime.process, &QProcess::readyReadStandardOutput, [&] { runtime.read(); });
    runtime.process.start(QStringLiteral(SORVANE_AGENT_PROGRAM), {});
    if (!runtime.process.waitForStarted(20000)) {
        std::fprintf(stderr, "cannot start %s\n", SORVANE_AGENT_PROGRAM);
        return 1;
    }

    // Short answers: the way to the first delta.
    server.setHandler([](const FakeChatServer::Request &) {
        return FakeChatServer::streamOf({QStringLiteral("Hello"), QStringLiteral(", world")});
    });
    QList<double> toFirstDeltaMs, chunkToDeltaMs;
    for (int run = 0; run < shortRuns + 1; ++run) {
        runtime.reset();
        firstChunkNs = -1;
        const qint64 sent = clock.nsecsElapsed();
        runtime.process.write(requestLine());
        if (!waitUntil([&] { return runtime.ended; }, 20000) || !runtime.failure.isEmpty()) {
            std::fprintf(stderr, "run failed: %s\n", qPrintable(runtime.failure));
            return 1;
        }
        if (run == 0)
            continue; // the first one also sets up the connection machinery
        toFirstDeltaMs.append(double(runtime.firstDeltaNs - sent) / 1e6);
        chunkToDeltaMs.append(double(runtime.firstDeltaNs - firstChunkNs) / 1e6);
    }
    std::printf("short answers: %d runs\n", shortRuns);
    std::printf("  request line to first delta: median %.2f ms, p95 %.2f ms\n", percentile(toFirstDeltaMs, 0.5),
                percentile(toFirstDeltaMs, 0.95));
    std::printf("  provider's first chunk to first delta: median %.2f ms, p95 %.2f ms (aim: within 5 ms)\n",
                percentile(chunkToDeltaMs, 0.5), percentile(chunkToDeltaMs, 0.95));

    // A long answer, sent as fast as the provider can: 100 events per write.
    server.setHandler([longPieces](const FakeChatServer::Request &) {
        FakeChatServer::Reply reply;
        QByteArray batch;
        for (int i = 0; i < longPieces; ++i) {
            batch += FakeChatServer::contentEvent(QStringLiteral("word%1 ").arg(i % 1000));
            if (batch.size() > 8000) {
                reply.writes.append(batch);
                batch.clear();
            }
        }
        reply.writes.append(batch + FakeChatServer::finishEvent() + FakeChatServer::doneEvent());
        return reply;
    });
    runtime.reset();
    const qint64 sent = clock.nsecsElapsed();
    runtime.process.write(requestLine());
    if (!waitUntil([&] { return runtime.ended; }, 120000) || !runtime.failure.isEmpty()) {
        std::fprintf(stderr, "long run failed: %s\n", qPrintable(runtime.failure));
        return 1;
    }
    const QList<qint64> &times = runtime.deltaTimesNs;
    const double seconds = double(times.last() - times.first()) / 1e9;
    std::printf("long answer: %lld deltas in %.3f s from first to last, %.0f deltas/s; whole run %.3f s\n",
                qlonglong(times.size()), seconds, seconds > 0 ? double(times.size() - 1) / seconds : 0.0,
                double(clock.nsecsElapsed() - sent) / 1e9);
    std::printf("  deltas/s by tenth of the answer:");
    const qsizetype tenth = times.size() / 10;
    for (int part = 0; part < 10 && tenth > 1; ++part) {
        const qint64 from = times[part * tenth];
        const qint64 to = times[(part + 1) * tenth - 1];
        std::printf(" %.0f", to > from ? double(tenth - 1) / (double(to - from) / 1e9) : 0.0);
    }
    std::printf("\n");

    runtime.process.closeWriteChannel();
    runtime.process.waitForFinished(10000);
    return 0;
}
