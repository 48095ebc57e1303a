// sorvane-agent: the Command runtime. Reads request lines on standard input until end of
// file and answers them with event lines on standard output; see AgentRuntime.

#include "SorvaneAgent/AgentRuntime.h"

#include <QCoreApplication>

#include <csignal>
#include <unistd.h>

int main(int argc, char **argv)
{
    // A reader that went away shows as a failed write, not a death by signal.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    sorvane::agent::AgentRuntime runtime(STDIN_FILENO, STDOUT_FILENO,
                                         sorvane::agent::AgentRuntime::Limits::fromEnvironment());
    QObject::connect(&runtime, &sorvane::agent::AgentRuntime::ended, &app, [] { QCoreApplication::exit(0); },
                     Qt::QueuedConnection);
    runtime.start();
    return app.exec();
}
