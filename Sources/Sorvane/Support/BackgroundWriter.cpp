#include "Support/BackgroundWriter.h"

namespace sorvane {

BackgroundWriter::BackgroundWriter()
{
    // One thread: writes never overtake each other.
    m_pool.setMaxThreadCount(1);
}

BackgroundWriter::~BackgroundWriter()
{
    waitForWrites();
}

void BackgroundWriter::write(Write write)
{
    QMutexLocker lock(&m_mutex);
    m_pending = std::move(write);
    if (m_busy)
        return; // the running drain picks it up
    m_busy = true;
    m_pool.start([this] { drain(); });
}

void BackgroundWriter::waitForWrites()
{
    QMutexLocker lock(&m_mutex);
    while (m_busy)
        m_idle.wait(&m_mutex);
}

void BackgroundWriter::drain()
{
    for (;;) {
        Write write;
        {
            QMutexLocker lock(&m_mutex);
            if (!m_pending) {
                m_busy = false;
                m_idle.wakeAll();
                return;
            }
            write = std::move(*m_pending);
            m_pending.reset();
        }
        write();
    }
}

} // namespace sorvane
