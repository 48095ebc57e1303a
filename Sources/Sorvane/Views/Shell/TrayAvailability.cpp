#include "TrayAvailability.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QSystemTrayIcon>

namespace sorvane {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

TrayAvailability::TrayAvailability(QObject *parent)
    : QObject(parent),
      m_watcher(watcherService, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForOwnerChange),
      m_xembedTray(QByteArrayLiteral("_NET_SYSTEM_TRAY_S"))
{
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayAvailability::recheck);
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService,
                    QLatin1String(signal), this, SLOT(recheck()));
    connect(&m_xembedTray, &X11SelectionOwner::ownerChanged, this, &TrayAvailability::recheck);
    m_available = QSystemTrayIcon::isSystemTrayAvailable();
    // Qt settles at its first look which kind of tray its items use, and keeps to it.
    m_usesStatusNotifier = m_available && statusNotifierHostRegistered();
}

bool TrayAvailability::statusNotifierHostRegistered()
{
    QDBusInterface watcher(watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService,
                           QDBusConnection::sessionBus());
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

void TrayAvailability::recheck()
{
    const bool available = m_usesStatusNotifier ? statusNotifierHostRegistered() : m_xembedTray.hasOwner();
    if (available == m_available)
        return;
    m_available = available;
    Q_EMIT availableChanged(available);
}

} // namespace sorvane
