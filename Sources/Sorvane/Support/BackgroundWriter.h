#pragma once

#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>
#include <functional>
#include <optional>

namespace sorvane {

// Runs the writes of one stored file off the calling thread, so that encoding and
// writing a large file never hold up the main loop. Writes run one at a time in the
// order they were asked for; one still waiting when a newer one arrives is skipped (each
// write replaces the whole file, so the newer supersedes it).
class BackgroundWriter {
public:
    // Runs on the writing thread: it must only use what it holds (implicitly shared Qt
    // values copied into it are fine) and what no other thread touches meanwhile.
    using Write = std::function<void()>;

    BackgroundWriter();
    // Waits for the writes asked for so far.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter &) = delete;
    BackgroundWriter &operator=(const BackgroundWriter &) = delete;

    void write(Write write);
    // Returns once every write asked for so far has run.
    void waitForWrites();

private:
    void drain();

    QThreadPool m_pool;
    QMutex m_mutex;
    QWaitCondition m_idle;
    std::optional<Write> m_pending;
    bool m_busy = false;
};

} // namespace sorvane
