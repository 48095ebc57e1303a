#pragma once

#include "Platform/DesktopNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSet>

namespace sorvane {

// Notifications through the desktop's notification server (org.freedesktop.Notifications).
// The click and close signals are broadcast for every client's notifications: only
// those of ids this object was given, sent by the server that gave them, are reported.
class DBusNotifications final : public DesktopNotifications {
    Q_OBJECT
public:
    static constexpr auto serverName = "org.freedesktop.Notifications";
    static constexpr auto serverPath = "/org/freedesktop/Notifications";
    static constexpr std::chrono::milliseconds callTimeout{10000};

    explicit DBusNotifications(const QDBusConnection &bus, QObject *parent = nullptr);

    QCoro::Task<std::optional<quint32>> show(DesktopNotification notification) override;

private:
    Q_SLOT void handleActionInvoked(uint id, const QString &actionKey, const QDBusMessage &message);
    Q_SLOT void handleNotificationClosed(uint id, uint reason, const QDBusMessage &message);
    void listen();
    bool isFromOurServer(const QDBusMessage &message) const;

    QDBusConnection m_bus;
    bool m_listening = false;
    QSet<quint32> m_ownIds;
    // The unique bus name of the server that took our notifications.
    QString m_serverOwner;
};

} // namespace sorvane
