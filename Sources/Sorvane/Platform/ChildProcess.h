#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <csignal>

class QProcess;

namespace sorvane {

// Makes the kernel end the child when this program dies, however it dies (a crash,
// SIGKILL): a speech engine or a runtime must never run on as an orphan. `signal` is
// what the child gets then; `inChild` runs in the child after that is arranged, just
// before the program is executed (async-signal-safe calls only). The child is tied
// to the thread that starts it, so start it from the main thread.
void endWithThisProgram(QProcess &process, int signal = SIGKILL, void (*inChild)() = nullptr);

// The variables that name a cloud provider's key or account. API keys reach the runtime
// only in its request line, so no child has any use for them, and a speech engine or a
// settings program that logs its environment must not be handed them.
const QStringList &providerVariables();

// The environment every child of this program is started with: `environment` (this
// program's own by default) without the provider variables.
QProcessEnvironment childEnvironment(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

// Starts a program that outlives this one, in the environment above.
bool startDetachedChild(const QString &program, const QStringList &arguments);

} // namespace sorvane
