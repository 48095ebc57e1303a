#include "Platform/ChildProcess.h"

#include <QProcess>

#include <sys/prctl.h>
#include <unistd.h>

namespace sorvane {

void endWithThisProgram(QProcess &process, int signal, void (*inChild)())
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent, signal, inChild] {
        ::prctl(PR_SET_PDEATHSIG, signal);
        // This program may have died between the fork and the line above; the child
        // then belongs to someone else already and would never get the signal.
        if (::getppid() != parent)
            ::_exit(127);
        if (inChild)
            inChild();
    });
}

} // namespace sorvane
