#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>

class QFileSystemWatcher;

namespace sorvane {

// What both model stores publish of their downloads: which are running, the fraction
// each has done, and a revision that goes up whenever what is on disk may have changed.
class ModelDownloadStore : public QObject {
    Q_OBJECT
    // Model id -> fraction (0 to 1) of each running download.
    Q_PROPERTY(QVariantMap progress READ progressMap NOTIFY progressChanged)
    Q_PROPERTY(QStringList activeDownloads READ activeDownloadList NOTIFY activeDownloadsChanged)
    // Increased after each finished download and each removal, and when the watched
    // folders show a model come or go from outside: availability may have changed.
    Q_PROPERTY(int revision READ revision NOTIFY revisionChanged)

public:
    using QObject::QObject;

    const QHash<QString, double> &progress() const { return m_progress; }
    const QSet<QString> &activeDownloads() const { return m_active; }
    int revision() const { return m_revision; }
    QVariantMap progressMap() const;
    // In order of the ids.
    QStringList activeDownloadList() const;
    // Looks at the folders again (a screen that opens does): the revision moves when
    // a model came or went.
    Q_INVOKABLE void recheck();

Q_SIGNALS:
    void progressChanged();
    void activeDownloadsChanged();
    void revisionChanged();

protected:
    // A download starts at 0.
    void beginDownload(const QString &id);
    // Clamped to 0..1; a report that comes after the download ended never brings its
    // entry back.
    void setDownloadProgress(const QString &id, double fraction);
    void endDownload(const QString &id);
    void bumpRevision();
    // Watches the folders `folders` names (asked again after each change, so new
    // sub-folders join); see recheck().
    void watchFolders(std::function<QStringList()> folders);
    // The ids of the models whose files are all there.
    virtual QStringList presentModels() const { return {}; }

private:
    void folderChanged();
    QFileSystemWatcher *m_watcher = nullptr;
    std::function<QStringList()> m_folders;
    QStringList m_present;
    QHash<QString, double> m_progress;
    QSet<QString> m_active;
    int m_revision = 0;
};

} // namespace sorvane
