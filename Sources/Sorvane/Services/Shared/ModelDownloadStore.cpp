#include "Services/Shared/ModelDownloadStore.h"

#include <algorithm>

namespace sorvane {

QVariantMap ModelDownloadStore::progressMap() const
{
    QVariantMap map;
    for (auto it = m_progress.cbegin(); it != m_progress.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}

QStringList ModelDownloadStore::activeDownloadList() const
{
    QStringList ids(m_active.cbegin(), m_active.cend());
    ids.sort();
    return ids;
}

void ModelDownloadStore::beginDownload(const QString &id)
{
    m_active.insert(id);
    m_progress.insert(id, 0.0);
    Q_EMIT activeDownloadsChanged();
    Q_EMIT progressChanged();
}

void ModelDownloadStore::setDownloadProgress(const QString &id, double fraction)
{
    if (!m_active.contains(id))
        return;
    m_progress.insert(id, std::clamp(fraction, 0.0, 1.0));
    Q_EMIT progressChanged();
}

void ModelDownloadStore::endDownload(const QString &id)
{
    if (!m_active.remove(id))
        return;
    m_progress.remove(id);
    Q_EMIT activeDownloadsChanged();
    Q_EMIT progressChanged();
}

void ModelDownloadStore::bumpRevision()
{
    ++m_revision;
    Q_EMIT revisionChanged();
}

} // namespace sorvane
