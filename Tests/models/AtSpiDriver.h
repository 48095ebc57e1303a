#pragma once

// Drives another program's screens through the accessibility bus, as a screen reader or
// a user's assistive tool does: finds elements by name and role, reads names and values,
// and clicks them with the pointer, as a user would.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDebug>
#include <QDeadlineTimer>
#include <QList>
#include <QRect>
#include <QTest>
#include <functional>
#include <optional>

namespace sorvane::testing {

// A press and release of a pointer button at a point of the screen, through XTest
// (Tests/Support/ClickOnScreen.cpp).
bool clickOnScreen(QPoint at, int button);

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
    QString description(const AtSpiNode &node)
    {
        return property(node, "org.a11y.atspi.Accessible", "Description").toString();
    }
    // The element's text, for elements with text (empty for the others).
    QString text(const AtSpiNode &node)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"), {0, -1});
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                   ? reply.arguments().first().toString()
                   : QString();
    }
    quint32 role(const AtSpiNode &node)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetRole"));
        return reply.arguments().isEmpty() ? 0 : reply.arguments().first().toUInt();
    }
    bool showing(const AtSpiNode &node) { return hasState(node, 25); } // ATSPI_STATE_SHOWING
    bool checked(const AtSpiNode &node) { return hasState(node, 4); }  // ATSPI_STATE_CHECKED
    // Whether the element's state set holds this state (the first 32 come in the first word).
    bool hasState(const AtSpiNode &node, unsigned state)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetState"));
        if (reply.arguments().isEmpty())
            return false;
        QList<quint32> states;
        reply.arguments().first().value<QDBusArgument>() >> states;
        return !states.isEmpty() && (states.first() >> state) & 1;
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

    // The showing elements under `node`, one per line with their roles: what a failed
    // search saw.
    QString dump(const AtSpiNode &node, int depth = 0)
    {
        QString text;
        if (depth > 40)
            return text;
        for (const AtSpiNode &child : children(node)) {
            if (!showing(child))
                continue;
            text += QString(depth * 2, QLatin1Char(' ')) + QString::number(role(child)) + QLatin1Char(' ')
                + name(child) + QLatin1Char('\n');
            text += dump(child, depth + 1);
        }
        return text;
    }

    // The element's rectangle on the screen.
    std::optional<QRect> extents(const AtSpiNode &node)
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GetExtents"),
                                        {QVariant::fromValue(quint32(0))});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return std::nullopt;
        int x = 0, y = 0, width = 0, height = 0;
        const QDBusArgument rect = reply.arguments().first().value<QDBusArgument>();
        rect.beginStructure();
        rect >> x >> y >> width >> height;
        rect.endStructure();
        return QRect(x, y, width, height);
    }

    // Waits for the named element and clicks it with the pointer (XTest), as a user does.
    bool clickButton(const AtSpiNode &app, const QString &text, int timeoutMs = 30000, int button = 1)
    {
        const auto found = waitFor(app, named(text), timeoutMs);
        if (!found) {
            qWarning().noquote() << "no" << text << "among:\n" << dump(app);
            return false;
        }
        return click(*found, button);
    }
    bool click(const AtSpiNode &node, int button = 1)
    {
        const auto rect = extents(node);
        if (!rect || rect->isEmpty())
            return false;
        return clickOnScreen(rect->center(), button);
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
