#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

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
    void run();

    // Standard threads and locks rather than Qt's: ThreadSanitizer sees every hand-over
    // between them even where Qt itself is not built for it.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Write> m_pending;
    bool m_busy = false;
    bool m_stopping = false;
    // Started with the first write; it waits for the next one until the writer goes.
    std::thread m_thread;
};

} // namespace sorvane
