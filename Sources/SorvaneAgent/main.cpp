// sorvane-agent: the Command runtime. Reads request lines on standard input until end of
// file and answers them with event lines on standard output; see AgentRuntime.

#include "SorvaneAgent/AgentRuntime.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int terminationPipe[2] = {-1, -1};

void noteTermination(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(terminationPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char **argv)
{
    // A reader that went away shows as a failed write, not a death by signal.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    sorvane::agent::AgentRuntime runtime(STDIN_FILENO, STDOUT_FILENO,
                                         sorvane::agent::AgentRuntime::Limits::fromEnvironment());
    QObject::connect(&runtime, &sorvane::agent::AgentRuntime::ended, &app, [] { QCoreApplication::exit(0); },
                     Qt::QueuedConnection);

    // Asked to stop (the application does so when it no longer waits for the end of input):
    // stop the model server's whole process group before going, as at the end of input.
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action {};
        action.sa_handler = noteTermination;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
        auto *notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &runtime, [&runtime] { runtime.stop(); });
    }

    runtime.start();
    return app.exec();
}
