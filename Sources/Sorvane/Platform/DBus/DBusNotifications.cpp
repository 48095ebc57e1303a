#include "Platform/DBus/DBusNotifications.h"

#include <QCoroDBusPendingCall>
#include <QDBusReply>
#include <QPointer>
#include <QVariantMap>

namespace sorvane {

namespace {
const QString interfaceName = QString::fromLatin1(DBusNotifications::serverName);
} // namespace

DBusNotifications::DBusNotifications(const QDBusConnection &bus, QObject *parent)
    : DesktopNotifications(parent), m_bus(bus)
{
}

void DBusNotifications::listen()
{
    // No service filter: that would look the owner up with a blocking call. The sender
    // is checked against the server that answered our own calls instead.
    const QString path = QString::fromLatin1(serverPath);
    m_bus.connect(QString(), path, interfaceName, QStringLiteral("ActionInvoked"), this,
                  SLOT(handleActionInvoked(uint, QString, QDBusMessage)));
    m_bus.connect(QString(), path, interfaceName, QStringLiteral("NotificationClosed"), this,
                  SLOT(handleNotificationClosed(uint, uint, QDBusMessage)));
    m_listening = true;
}

QCoro::Task<std::optional<quint32>> DBusNotifications::show(DesktopNotification notification)
{
    if (!m_listening)
        listen();
    QDBusMessage call = QDBusMessage::createMethodCall(interfaceName, QString::fromLatin1(serverPath), interfaceName,
                                                       QStringLiteral("Notify"));
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("com.sorvane.local")}};
    if (notification.silent)
        hints.insert(QStringLiteral("suppress-sound"), true);
    call << QStringLiteral("Sorvane")                // app_name
         << uint(notification.replacesId)           // replaces_id: 0 for a new one
         << QStringLiteral("com.sorvane.local")      // app_icon
         << notification.summary << notification.body
         << QStringList{QStringLiteral("default"), QStringLiteral("Open")} // a click is the default action
         << hints << int(-1);                       // expire_timeout: the server's choice
    QPointer<DBusNotifications> self(this);
    // A named call: temporaries in a co_await expression are not safe with every compiler.
    const QDBusPendingCall pending = m_bus.asyncCall(call, int(callTimeout.count()));
    const QDBusMessage answer = co_await pending;
    const QDBusReply<uint> reply(answer);
    // No server, a refusal or a time-out: nothing was shown.
    if (!self || !reply.isValid())
        co_return std::nullopt;
    const quint32 id = reply.value();
    m_ownIds.insert(id);
    m_serverOwner = answer.service();
    co_return id;
}

bool DBusNotifications::isFromOurServer(const QDBusMessage &message) const
{
    return !m_serverOwner.isEmpty() && message.service() == m_serverOwner;
}

void DBusNotifications::handleActionInvoked(uint id, const QString &actionKey, const QDBusMessage &message)
{
    Q_UNUSED(actionKey) // any action on our notification opens it
    if (isFromOurServer(message) && m_ownIds.contains(id))
        Q_EMIT activated(id);
}

void DBusNotifications::handleNotificationClosed(uint id, uint reason, const QDBusMessage &message)
{
    Q_UNUSED(reason)
    if (isFromOurServer(message) && m_ownIds.remove(id))
        Q_EMIT closed(id);
}

} // namespace sorvane
