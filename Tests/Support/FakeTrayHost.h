#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>
#include <optional>

namespace sorvane::testing {

// A panel's tray host on the session bus (a StatusNotifierWatcher that says a host is
// there), so that a program's tray item registers with it; its menu is then reached
// over com.canonical.dbusmenu as a panel would.
class FakeTrayHost : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    static constexpr auto service = "org.kde.StatusNotifierWatcher";

    explicit FakeTrayHost(QDBusConnection bus = QDBusConnection::sessionBus()) : m_bus(bus) {}
    ~FakeTrayHost() override { stop(); }

    bool start()
    {
        return m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties
                                        | QDBusConnection::ExportAllSignals)
            && m_bus.registerService(QLatin1String(service));
    }
    void stop()
    {
        m_bus.unregisterService(QLatin1String(service));
        m_bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    }

    QStringList items() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

    // The bus name of the registered item of process `pid`, if any.
    std::optional<QString> itemOf(qint64 pid) const
    {
        for (const QString &item : m_items) {
            const QString name = item.section(QLatin1Char('/'), 0, 0);
            const auto owner = m_bus.interface()->servicePid(name);
            if (owner.isValid() && qint64(owner.value()) == pid)
                return name;
        }
        return std::nullopt;
    }

    // The labels of an item's menu entries, with their dbusmenu ids.
    QList<QPair<int, QString>> menuOf(const QString &item) const
    {
        QList<QPair<int, QString>> entries;
        QDBusMessage call = QDBusMessage::createMethodCall(item, QStringLiteral("/MenuBar"),
                                                           QStringLiteral("com.canonical.dbusmenu"),
                                                           QStringLiteral("GetLayout"));
        call << 0 << -1 << QStringList();
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, 10000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
            return entries;
        collect(reply.arguments().at(1).value<QDBusArgument>(), entries);
        return entries;
    }

    // Clicks an entry as a panel does.
    bool click(const QString &item, int id) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(item, QStringLiteral("/MenuBar"),
                                                           QStringLiteral("com.canonical.dbusmenu"),
                                                           QStringLiteral("Event"));
        call << id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(QVariant(0))) << uint(0);
        return m_bus.call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message)
    {
        // An item may name itself by its path alone; then its sender is its service.
        const QString name = service.startsWith(QLatin1Char('/')) ? message.service() + service : service;
        if (!m_items.contains(name))
            m_items.append(name);
        Q_EMIT StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    // A layout node: (id, properties, children as variants of nodes).
    static void collect(const QDBusArgument &node, QList<QPair<int, QString>> &entries)
    {
        int id = 0;
        QVariantMap properties;
        node.beginStructure();
        node >> id;
        node >> properties;
        if (id != 0 && properties.value(QStringLiteral("type")).toString() != QLatin1String("separator"))
            entries.append({id, properties.value(QStringLiteral("label")).toString()});
        node.beginArray();
        while (!node.atEnd()) {
            QDBusVariant child;
            node >> child;
            collect(child.variant().value<QDBusArgument>(), entries);
        }
        node.endArray();
        node.endStructure();
    }

    QDBusConnection m_bus;
    QStringList m_items;
};

} // namespace sorvane::testing
