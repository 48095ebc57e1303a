// Starts one child the way Sorvane does and waits to be killed, so a test can see
// what becomes of the child when its parent dies.
//   orphan-probe engine <engine program> <audio file> <model file>
//       transcribes with the speech-engine runner (the engine is steered by the
//       FAKE_SPEECH_ENGINE_* variables it inherits)
//   orphan-probe runtime <runtime program> <instruction>
//       starts the Command runtime, sends it one request with that instruction and
//       prints the runtime's process id on a line of its own
#include "Services/Command/AgentRuntimeService.h"
#include "Services/Dictation/WhisperRunner.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <cstdio>

using namespace sorvane;

namespace {

QCoro::Task<> transcribe(QString engine, QString audio, QString model)
{
    const WhisperRunner runner([engine](SpeechEngine) { return std::optional<QString>(engine); });
    auto result = co_await runner.transcribe(audio, *SpeechModel::find(QStringLiteral("pocket")), model, {});
    std::fprintf(stderr, "the engine ended: %s\n",
                 qPrintable(result ? result.value() : result.error().message()));
    QCoreApplication::exit(1);
}

QCoro::Task<> runCommand(AgentRuntimeService *runtime, QString instruction)
{
    AgentRuntimeRequest request;
    request.requestID = QUuid::createUuid();
    request.conversationID = QUuid::createUuid();
    request.model = AgentModelDescriptor::catalog().first();
    request.instruction = instruction;
    request.ephemeralSession = true;
    co_await runtime->run(request, [](const AgentRuntimeEvent &) {});
    std::fprintf(stderr, "the request ended\n");
    QCoreApplication::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(1);
    if (mode == QLatin1String("engine") && arguments.size() == 5) {
        auto task = transcribe(arguments.at(2), arguments.at(3), arguments.at(4));
        return app.exec();
    }
    if (mode == QLatin1String("runtime") && arguments.size() == 4) {
        AgentRuntimeService::Options options;
        options.executableOverride = arguments.at(2);
        AgentRuntimeService runtime(options);
        if (!runtime.ensureProcess()) {
            std::fprintf(stderr, "the runtime did not start\n");
            return 1;
        }
        auto task = runCommand(&runtime, arguments.at(3));
        std::printf("%lld\n", static_cast<long long>(runtime.processId()));
        std::fflush(stdout);
        return app.exec();
    }
    std::fprintf(stderr, "usage: orphan-probe engine <engine> <audio> <model> | runtime <program> <instruction>\n");
    return 2;
}
