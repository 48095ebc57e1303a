#pragma once

// Whether a process the test started (or one of its children) still runs. Header-only
// and Qt Core only: the tests of the runtime program use it without the core library.

#include <QFile>
#include <QString>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace sorvane::testing {

// No such process any more, or one that has ended and waits only to be reaped (a zombie
// is gone for our purpose: nothing runs any more).
inline bool processGone(qint64 pid)
{
    if (pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const QByteArray stat = statFile.open(QIODevice::ReadOnly) ? statFile.readAll() : QByteArray();
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && stat.size() > close + 2 && stat.at(close + 2) == 'Z';
}

inline bool isRunning(qint64 pid)
{
    return !processGone(pid);
}

} // namespace sorvane::testing
