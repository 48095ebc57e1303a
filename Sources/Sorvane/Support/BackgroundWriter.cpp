#include "Support/BackgroundWriter.h"

namespace sorvane {

BackgroundWriter::BackgroundWriter() = default;

BackgroundWriter::~BackgroundWriter()
{
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundWriter::write(Write write)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(write); // a write still waiting is superseded
        m_busy = true;
        // One thread: writes never overtake each other.
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    m_changed.notify_all();
}

void BackgroundWriter::waitForWrites()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
}

void BackgroundWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_stopping; });
        if (!m_pending)
            return;
        Write write = std::move(*m_pending);
        m_pending.reset();
        lock.unlock();
        write();
        write = nullptr; // what it holds is let go of off the lock, and before the wait ends
        lock.lock();
        if (!m_pending) {
            m_busy = false;
            m_changed.notify_all();
        }
    }
}

} // namespace sorvane
