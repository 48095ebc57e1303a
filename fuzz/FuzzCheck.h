#pragma once

// What every fuzz target shares: a broken promise ends the run like a sanitizer finding.

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace sorvane::fuzzing {

[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char *what)
{
    if (!holds)
        fail(what);
}

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A folder that lives as long as the run; the stores' default folders point into it.
inline QDir scratchFolder()
{
    static QTemporaryDir folder;
    static const bool pointed = [] {
        qputenv("XDG_DATA_HOME", (folder.path() + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (folder.path() + QStringLiteral("/config")).toLocal8Bit());
        return true;
    }();
    Q_UNUSED(pointed)
    return QDir(folder.path());
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The input as the stored file `name` in the scratch folder, for a store to load.
inline QString storedFileOf(const QString &name, const uint8_t *data, size_t size)
{
    const QString path = scratchFolder().filePath(name);
    QFile file(path);
    const QByteArray bytes = bytesOf(data, size);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
          "the input file could not be written");
    return path;
}

// The stores' "now", fixed so that every run judges the same input the same way.
inline QDateTime fixedNow()
{
    return QDateTime(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);
}

} // namespace sorvane::fuzzing
