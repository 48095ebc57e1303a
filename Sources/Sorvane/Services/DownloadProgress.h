#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace sorvane {

// The bookkeeping of a model store's downloads: which are running, the fraction each
// has done, and a revision that goes up whenever what is on disk may have changed.
// The stores publish these as their own properties and pass the signals on.
class DownloadProgress : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const QHash<QString, double> &progress() const { return m_progress; }
    const QSet<QString> &activeDownloads() const { return m_active; }
    int revision() const { return m_revision; }
    bool isActive(const QString &id) const { return m_active.contains(id); }

    // Model id -> fraction, and the running ids in order, for the screens.
    QVariantMap progressMap() const;
    QStringList activeDownloadList() const;

    // A download starts at 0.
    void begin(const QString &id);
    // Clamped to 0..1; a report that comes after the download ended never brings its
    // entry back.
    void setProgress(const QString &id, double fraction);
    void end(const QString &id);
    void bumpRevision();

Q_SIGNALS:
    void progressChanged();
    void activeDownloadsChanged();
    void revisionChanged();

private:
    QHash<QString, double> m_progress;
    QSet<QString> m_active;
    int m_revision = 0;
};

} // namespace sorvane
