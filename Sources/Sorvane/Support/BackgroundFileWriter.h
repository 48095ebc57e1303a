#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QThreadPool>
#include <QWaitCondition>
#include <functional>
#include <optional>

namespace sorvane {

// Writes one file off the calling thread, so that encoding and writing a large file
// never hold up the main loop. Each write replaces the whole file atomically; writes
// reach the file in the order they were asked for, and one still waiting when a newer
// one arrives is skipped (the newer content supersedes it). Writing failures are not
// reported, as with the stores' own saves.
class BackgroundFileWriter {
public:
    // Produces the file's bytes; runs on the writing thread, so it must only read
    // what it holds (implicitly shared Qt values copied into it are fine).
    using Content = std::function<QByteArray()>;

    explicit BackgroundFileWriter(QString path);
    // Waits for the writes asked for so far.
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter &) = delete;
    BackgroundFileWriter &operator=(const BackgroundFileWriter &) = delete;

    void write(Content content);
    // Returns once every write asked for so far is on disk (or has failed).
    void waitForWrites();

private:
    void drain();

    const QString m_path;
    QThreadPool m_pool;
    QMutex m_mutex;
    QWaitCondition m_idle;
    std::optional<Content> m_pending;
    bool m_busy = false;
};

} // namespace sorvane
