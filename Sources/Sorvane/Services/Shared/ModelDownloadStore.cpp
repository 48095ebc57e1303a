#include "Services/Shared/ModelDownloadStore.h"

#include <QDir>
#include <QFileSystemWatcher>

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
    if (m_watcher)
        m_present = presentModels();
    ++m_revision;
    Q_EMIT revisionChanged();
}

void ModelDownloadStore::watchFolders(std::function<QStringList()> folders)
{
    m_folders = std::move(folders);
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &ModelDownloadStore::folderChanged);
    }
    m_present = presentModels();
    folderChanged();
}

void ModelDownloadStore::folderChanged()
{
    if (!m_watcher)
        return;
    QStringList wanted;
    for (const QString &folder : m_folders())
        if (QDir(folder).exists())
            wanted.append(folder);
    const QStringList watched = m_watcher->directories();
    for (const QString &folder : watched)
        if (!wanted.contains(folder))
            m_watcher->removePath(folder);
    for (const QString &folder : wanted)
        if (!watched.contains(folder))
            m_watcher->addPath(folder);
    recheck();
}

void ModelDownloadStore::recheck()
{
    // Temporary files of running downloads come and go too: only a change in which
    // models are there is news.
    if (presentModels() != m_present)
        bumpRevision();
}

} // namespace sorvane
