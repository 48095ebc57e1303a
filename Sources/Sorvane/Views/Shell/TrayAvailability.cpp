#include "TrayAvailability.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
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
    // The property alone, without the introspection a QDBusInterface makes first: this
    // runs at every start, before the tray item shows.
    QDBusMessage get = QDBusMessage::createMethodCall(watcherService, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
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
