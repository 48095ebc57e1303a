#pragma once

// Whether a process the test started (or one of its children) still runs. Header-only
// and Qt Core only: the tests of the runtime program use it without the core library.

#include <QDir>
#include <QFile>
#include <QList>
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

// The running children of `parent` whose program is `name` (as the kernel keeps it: its
// first 15 characters).
inline QList<qint64> childrenNamed(qint64 parent, const QString &name)
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!statFile.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = statFile.readAll();
        const qsizetype open = stat.indexOf('(');
        const qsizetype close = stat.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        // After the name come the state and the parent's id.
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields.at(0) != "Z" && fields.at(1).toLongLong() == parent
            && QString::fromLocal8Bit(stat.mid(open + 1, close - open - 1)) == name.left(15))
            found.append(pid);
    }
    return found;
}

} // namespace sorvane::testing
