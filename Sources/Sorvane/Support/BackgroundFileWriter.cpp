#include "Support/BackgroundFileWriter.h"

#include "Support/StoredJson.h"

namespace sorvane {

BackgroundFileWriter::BackgroundFileWriter(QString path) : m_path(std::move(path))
{
    // One thread: writes never overtake each other.
    m_pool.setMaxThreadCount(1);
}

BackgroundFileWriter::~BackgroundFileWriter()
{
    waitForWrites();
}

void BackgroundFileWriter::write(Content content)
{
    QMutexLocker lock(&m_mutex);
    m_pending = std::move(content);
    if (m_busy)
        return; // the running drain picks it up
    m_busy = true;
    m_pool.start([this] { drain(); });
}

void BackgroundFileWriter::waitForWrites()
{
    QMutexLocker lock(&m_mutex);
    while (m_busy)
        m_idle.wait(&m_mutex);
}

void BackgroundFileWriter::drain()
{
    for (;;) {
        Content content;
        {
            QMutexLocker lock(&m_mutex);
            if (!m_pending) {
                m_busy = false;
                m_idle.wakeAll();
                return;
            }
            content = std::move(*m_pending);
            m_pending.reset();
        }
        (void)storedjson::writeFileAtomically(m_path, content());
    }
}

} // namespace sorvane
