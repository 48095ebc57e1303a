#pragma once

#include <csignal>

class QProcess;

namespace sorvane {

// Makes the kernel end the child when this program dies, however it dies (a crash,
// SIGKILL): a speech engine or a runtime must never run on as an orphan. `signal` is
// what the child gets then; `inChild` runs in the child after that is arranged, just
// before the program is executed (async-signal-safe calls only). The child is tied
// to the thread that starts it, so start it from the main thread.
void endWithThisProgram(QProcess &process, int signal = SIGKILL, void (*inChild)() = nullptr);

} // namespace sorvane
