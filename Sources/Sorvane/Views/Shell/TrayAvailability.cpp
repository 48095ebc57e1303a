#include "TrayAvailability.h"

#include <QDBusConnection>
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
}

void TrayAvailability::recheck()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available == m_available)
        return;
    m_available = available;
    Q_EMIT availableChanged(available);
}

} // namespace sorvane
