#pragma once

// What the benchmarks share: the median of repeated runs, and a history file of a given
// size to load.

#include "Dictation/HistoryItem.h"
#include "Support/StoredJson.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>

namespace sorvane::bench {

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

inline double minimum(const QList<double> &values)
{
    return *std::min_element(values.begin(), values.end());
}

// One line of the summary table (`bash scripts/bench.sh all` gathers them): the figure,
// its minimum and median over the runs, the aim and, where there is one, the anchor's.
inline void printFigure(const char *figure, const QList<double> &values, const char *unit, const char *aim,
                        const QString &anchor = {})
{
    if (values.isEmpty())
        return;
    std::printf("figure: %s | %.2f | %.2f | %s | %s | %s\n", figure, minimum(values), median(values), unit, aim,
                anchor.isEmpty() ? "-" : qPrintable(anchor));
}

// `count` dictations of ordinary length, a minute apart back from now, as the history
// store writes them.
inline void writeHistory(const QString &path, int count)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(HistoryItem::make(start.addSecs(-60 * i),
                                       QStringLiteral("Dictation number %1: a sentence of ordinary length that "
                                                      "someone said into the microphone.")
                                           .arg(i),
                                       4.5 + i % 30, QStringLiteral("pocket"))
                         .toJson());
    storedjson::writeFileAtomically(path, storedjson::encode(array));
}

// Resident memory of a process (this one by default) in MiB, from /proc; -1 when unknown.
inline double residentMiB(qint64 pid = 0)
{
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

} // namespace sorvane::bench
