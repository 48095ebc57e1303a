#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace sorvane::testing {

// A small notification server on its own bus connection: it keeps the notifications it
// was given, replaces by id as a real server does, and emits the click and close signals.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
    };

    explicit FakeNotificationServer(const QString &connectionName)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName)), m_connectionName(connectionName)
    {
    }
    ~FakeNotificationServer() override
    {
        stop();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

    bool start()
    {
        return m_bus.isConnected()
            && m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                    QDBusConnection::ExportAllSlots)
            && m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    void stop()
    {
        m_bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }

    QList<Call> calls;
    QMap<uint, QString> onScreen; // id -> body

    void click(uint id, const QString &action = QStringLiteral("default"))
    {
        emitSignal(QStringLiteral("ActionInvoked"), {id, action});
    }
    void close(uint id, uint reason = 2)
    {
        onScreen.remove(id);
        emitSignal(QStringLiteral("NotificationClosed"), {id, reason});
    }

public Q_SLOTS:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
        const uint id = replacesId != 0 && onScreen.contains(replacesId) ? replacesId : ++m_lastId;
        onScreen.insert(id, body);
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    void CloseNotification(uint id) { close(id, 3); }

private:
    void emitSignal(const QString &name, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

    QDBusConnection m_bus;
    QString m_connectionName;
    uint m_lastId = 40; // not 1, so that ids are not mistaken for counts
};

} // namespace sorvane::testing
