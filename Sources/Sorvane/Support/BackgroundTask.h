#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <optional>
#include <thread>

namespace sorvane {

// Runs one job at a time on a thread of its own and hands its result to `done` on the
// thread of `context`, through a queued call. Qt's thread pool would do the same, but
// where Qt is not built for ThreadSanitizer its hand-overs are hidden from it; here the
// start (a new thread) and the end (joined before the result is read) are both seen.
// Meant as a member of `context`: it waits for a job still running when it goes.
template <typename Result>
class BackgroundTask {
public:
    using Done = std::function<void(Result)>;

    BackgroundTask(QObject *context, Done done) : m_context(context), m_done(std::move(done)) {}
    ~BackgroundTask()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    BackgroundTask(const BackgroundTask &) = delete;
    BackgroundTask &operator=(const BackgroundTask &) = delete;

    // From the start until its result has been handed over.
    bool isRunning() const { return m_thread.joinable(); }

    // Starts `job`; one that is still running must have been waited for first.
    void start(std::function<Result()> job)
    {
        Q_ASSERT(!isRunning());
        const quint64 run = ++m_runs;
        m_thread = std::thread([this, run, job = std::move(job)] {
            m_result = job();
            QMetaObject::invokeMethod(m_context, [this, run] { finish(run); }, Qt::QueuedConnection);
        });
    }

    // Starts `job` on the next turn of the context's event loop, unless by then it runs
    // already or `wanted` says it is no longer needed (its result was needed sooner).
    void startOnNextTurn(std::function<bool()> wanted, std::function<Result()> job)
    {
        QMetaObject::invokeMethod(
            m_context,
            [this, wanted = std::move(wanted), job = std::move(job)]() mutable {
                if (!isRunning() && wanted())
                    start(std::move(job));
            },
            Qt::QueuedConnection);
    }

    // Waits for the running job and returns its result; `done` is not called for it.
    Result waitForResult()
    {
        Q_ASSERT(isRunning());
        m_thread.join();
        return take();
    }

private:
    void finish(quint64 run)
    {
        // Taken by waitForResult(), or the call of a job before the running one.
        if (run != m_runs || !m_thread.joinable())
            return;
        m_thread.join();
        m_done(take());
    }

    Result take()
    {
        Result result = std::move(*m_result);
        m_result.reset();
        return result;
    }

    QObject *m_context;
    Done m_done;
    quint64 m_runs = 0;
    // Written by the job's thread, read here once it has been joined.
    std::optional<Result> m_result;
    std::thread m_thread;
};

} // namespace sorvane
