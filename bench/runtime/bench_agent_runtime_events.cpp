// How fast the runtime service decodes and dispatches events: the fake runtime streams
// many small "delta" events for one request, and this program counts what reaches the
// request's event callback, the wall time of the run and the CPU time this process
// (the service's side) spent on it.
//
//   bench_agent_runtime_events [deltas]      (default 100000)
//
// The fake is <build>/tests/fake-sorvane-agent, or $SORVANE_SORVANE_AGENT_PATH.

#include "Platform/UnixSignalWatcher.h"
#include "Services/Command/AgentRuntimeService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace sorvane;

namespace {

double cpuSeconds()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Measurement {
    bool ok = false;
    QString failure;
    qint64 events = 0;
    qint64 answerLength = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

QCoro::Task<Measurement> measure(AgentRuntimeService &service, int deltas)
{
    Measurement m;
    AgentRuntimeRequest request;
    request.requestID = QUuid::createUuid();
    request.instruction = QStringLiteral("flood count=%1").arg(deltas);
    qint64 events = 0;
    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    auto result = co_await service.run(request, [&events](const AgentRuntimeEvent &event) {
        if (event.kind == AgentProtocolEventKind::Delta)
            ++events;
    });
    m.wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    m.cpuSeconds = cpuSeconds() - cpuBefore;
    m.events = events;
    m.ok = result.ok();
    if (result.ok())
        m.answerLength = result.value().size();
    else
        m.failure = result.error().message();
    co_return m;
}

QCoro::Task<int> benchmark(int deltas)
{
    QString program = qEnvironmentVariable("SORVANE_SORVANE_AGENT_PATH");
    if (program.isEmpty())
        program = QCoreApplication::applicationDirPath() + QStringLiteral("/../../tests/fake-sorvane-agent");
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "fake runtime not found: %s (build with tests enabled)\n", qPrintable(program));
        co_return 2;
    }
    AgentRuntimeService::Options options;
    options.executableOverride = QFileInfo(program).canonicalFilePath();
    AgentRuntimeService service(options);

    // The first run pays for the launch; it is not counted.
    const Measurement warmUp = co_await measure(service, 1000);
    if (!warmUp.ok) {
        std::fprintf(stderr, "warm-up failed: %s\n", qPrintable(warmUp.failure));
        co_return 1;
    }
    const Measurement m = co_await measure(service, deltas);
    if (!m.ok || m.events != deltas || m.answerLength != deltas) {
        std::fprintf(stderr, "run failed: %s (events %lld of %d)\n", qPrintable(m.failure), m.events, deltas);
        co_return 1;
    }
    std::printf("delta events delivered:            %lld\n", m.events);
    std::printf("wall time:                         %.3f s\n", m.wallSeconds);
    std::printf("events per second (wall):          %.0f   (aim: at least 100000)\n", double(m.events) / m.wallSeconds);
    std::printf("service CPU time:                  %.3f s (%.2f us per event)\n", m.cpuSeconds,
                m.cpuSeconds * 1e6 / double(m.events));
    std::printf("events per CPU second (service):   %.0f\n", double(m.events) / m.cpuSeconds);
    co_return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    UnixSignalWatcher::ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    const int deltas = argc > 1 ? std::atoi(argv[1]) : 100000;
    int status = 1;
    QTimer::singleShot(0, &app, [&] {
        benchmark(deltas).then([&](int result) {
            status = result;
            QCoreApplication::exit(0);
        });
    });
    app.exec();
    return status;
}
