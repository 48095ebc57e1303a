#pragma once

// Drives another program's screens through the accessibility bus, as a screen reader or
// a user's assistive tool does: finds elements by name and role, reads names and values,
// and presses buttons through their action.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QList>
#include <QTest>
#include <functional>
#include <optional>

namespace sorvane::testing {

struct AtSpiNode {
    QString service;
    QString path;
};

inline const QDBusArgument &operator>>(const QDBusArgument &argument, AtSpiNode &node)
{
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> node.service >> path;
    argument.endStructure();
    node.path = path.path();
    return argument;
}
inline QDBusArgument &operator<<(QDBusArgument &argument, const AtSpiNode &node)
{
    argument.beginStructure();
    argument << node.service << QDBusObjectPath(node.path);
    argument.endStructure();
    return argument;
}

class AtSpiDriver {
public:
    static constexpr quint32 roleProgressBar = 47;
    static constexpr quint32 rolePushButton = 43;

    bool connect()
    {
        qDBusRegisterMetaType<AtSpiNode>();
        qDBusRegisterMetaType<QList<AtSpiNode>>();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
            QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return false;
        m_bus = QDBusConnection::connectToBus(reply.arguments().first().toString(), QStringLiteral("atspi-driver"));
        return m_bus.isConnected();
    }
    ~AtSpiDriver() { QDBusConnection::disconnectFromBus(QStringLiteral("atspi-driver")); }

    // The application whose name is `name`, waited for.
    std::optional<AtSpiNode> application(const QString &name, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        do {
            for (const AtSpiNode &app : children({QStringLiteral("org.a11y.atspi.Registry"),
                                                  QStringLiteral("/org/a11y/atspi/accessible/root")}))
                if (this->name(app).compare(name, Qt::CaseInsensitive) == 0)
                    return app;
            QTest::qWait(100);
        } while (!deadline.hasExpired());
        return std::nullopt;
    }

    QList<AtSpiNode> children(const AtSpiNode &node)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetChildren"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        QList<AtSpiNode> nodes;
        reply.arguments().first().value<QDBusArgument>() >> nodes;
        return nodes;
    }
    QString name(const AtSpiNode &node) { return property(node, "org.a11y.atspi.Accessible", "Name").toString(); }
    quint32 role(const AtSpiNode &node)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetRole"));
        return reply.arguments().isEmpty() ? 0 : reply.arguments().first().toUInt();
    }
    double value(const AtSpiNode &node) { return property(node, "org.a11y.atspi.Value", "CurrentValue").toDouble(); }
    bool showing(const AtSpiNode &node)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetState"));
        if (reply.arguments().isEmpty())
            return false;
        QList<quint32> states;
        reply.arguments().first().value<QDBusArgument>() >> states;
        return !states.isEmpty() && (states.first() >> 25) & 1;
    }

    // Depth first, showing elements only.
    std::optional<AtSpiNode> find(const AtSpiNode &under, const std::function<bool(const AtSpiNode &)> &matches,
                                  int depth = 0)
    {
        if (depth > 60)
            return std::nullopt;
        for (const AtSpiNode &child : children(under)) {
            if (!showing(child))
                continue;
            if (matches(child))
                return child;
            if (auto found = find(child, matches, depth + 1))
                return found;
        }
        return std::nullopt;
    }
    std::optional<AtSpiNode> waitFor(const AtSpiNode &under, const std::function<bool(const AtSpiNode &)> &matches,
                                     int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        do {
            if (auto found = find(under, matches))
                return found;
            QTest::qWait(150);
        } while (!deadline.hasExpired());
        return std::nullopt;
    }
    std::function<bool(const AtSpiNode &)> named(const QString &text)
    {
        return [this, text](const AtSpiNode &node) { return name(node) == text; };
    }

    // The element's first action ("press" for a button).
    bool press(const AtSpiNode &node)
    {
        const QDBusMessage reply =
            call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {QVariant(0)});
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    // Waits for the named button and presses it.
    bool pressButton(const AtSpiNode &app, const QString &text, int timeoutMs = 30000)
    {
        const auto button = waitFor(app, named(text), timeoutMs);
        return button && press(*button);
    }

private:
    QDBusMessage call(const AtSpiNode &node, const QString &interface, const QString &method,
                      const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, 5000);
    }
    QVariant property(const AtSpiNode &node, const char *interface, const char *name)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {QString::fromLatin1(interface), QString::fromLatin1(name)});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant();
    }

    QDBusConnection m_bus{QStringLiteral("atspi-driver-none")};
};

} // namespace sorvane::testing

Q_DECLARE_METATYPE(sorvane::testing::AtSpiNode)
