// The program's own windows as a screen reader sees them, through the session's AT-SPI
// bus: the main window's buttons are found by their names and pressed that way, and
// the overlay says what it shows.
#include "RealApps.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QStandardPaths>

#include <functional>
#include <optional>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr uint pushButtonRole = 43; // ATSPI_ROLE_PUSH_BUTTON
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

struct Node {
    QString service;
    QString path;
};

// A client of the accessibility bus, as a screen reader is.
class AtSpiClient {
public:
    bool connect()
    {
        QDBusInterface bus(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
                           QDBusConnection::sessionBus());
        const QDBusReply<QString> address = bus.call(QStringLiteral("GetAddress"));
        if (!address.isValid())
            return false;
        m_bus = QDBusConnection::connectToBus(address.value(), QStringLiteral("screen-reader"));
        return m_bus.isConnected();
    }

    QList<Node> children(const Node &node) const
    {
        QList<Node> found;
        const QDBusMessage reply = call(node, accessibleInterface, QStringLiteral("GetChildren"));
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return found;
        const QDBusArgument array = reply.arguments().first().value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QString service;
            QDBusObjectPath path;
            array.beginStructure();
            array >> service >> path;
            array.endStructure();
            found.append({service, path.path()});
        }
        array.endArray();
        return found;
    }

    QString name(const Node &node) const
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {accessibleInterface, QStringLiteral("Name")});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant().toString();
    }

    uint role(const Node &node) const
    {
        const QDBusMessage reply = call(node, accessibleInterface, QStringLiteral("GetRole"));
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                   ? reply.arguments().first().toUInt()
                   : 0;
    }

    bool press(const Node &node) const
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {0});
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    // The running application of this name.
    std::optional<Node> application(const QString &applicationName) const
    {
        for (const Node &candidate : children({QStringLiteral("org.a11y.atspi.Registry"),
                                               QStringLiteral("/org/a11y/atspi/accessible/root")}))
            if (name(candidate) == applicationName)
                return candidate;
        return std::nullopt;
    }

    // The first element below `root` that `matches`, depth first.
    std::optional<Node> find(const Node &root, const std::function<bool(const Node &)> &matches, int depth = 0) const
    {
        if (depth > 40)
            return std::nullopt;
        for (const Node &child : children(root)) {
            if (matches(child))
                return child;
            if (auto below = find(child, matches, depth + 1))
                return below;
        }
        return std::nullopt;
    }

    std::optional<Node> button(const Node &application, const QString &buttonName) const
    {
        return find(application,
                    [&](const Node &node) { return role(node) == pushButtonRole && name(node) == buttonName; });
    }

    // The name of the first element below `root` whose name starts with `prefix`.
    QString nameStartingWith(const Node &root, const QString &prefix) const
    {
        const auto found = find(root, [&](const Node &node) { return name(node).startsWith(prefix); });
        return found ? name(*found) : QString();
    }

private:
    QDBusMessage call(const Node &node, const QString &interface, const QString &method,
                      const QVariantList &arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, 5000);
    }

    QDBusConnection m_bus{QStringLiteral("unconnected")};
};

} // namespace

class AccessibleWindowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    AtSpiClient screenReader;

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl", "dbus-send"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        QVERIFY(accessibilityBusOn());
        QVERIFY(screenReader.connect());
    }

    // The Home screen's Dictation button, found by its name and pressed over the bus,
    // starts a recording; the overlay then says so, and the button's name follows.
    void mainWindowButtonsArePressedByName()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        SorvaneProgram sorvane(*home);
        QVERIFY(sorvane.prepare());
        QVERIFY(sorvane.start(QStringLiteral("Hello from the screen reader.")));
        // A second start brings the running copy's window forward.
        QProcess second;
        second.setProcessEnvironment(sorvane.process.processEnvironment());
        second.start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(second.waitForFinished(30000));

        std::optional<Node> application;
        QTRY_VERIFY_WITH_TIMEOUT((application = screenReader.application(QStringLiteral("Sorvane"))).has_value(), 30000);
        std::optional<Node> start;
        QTRY_VERIFY_WITH_TIMEOUT((start = screenReader.button(*application, QStringLiteral("Start dictation"))).has_value(),
                                 30000);
        // The sidebar's sections are buttons with their names too.
        QVERIFY(screenReader.button(*application, QStringLiteral("History")).has_value());

        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(screenReader.press(*start));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(screenReader.nameStartingWith(*application, QStringLiteral("Listening. ")).isEmpty(),
                                  false, 20000);

        std::optional<Node> finish;
        QTRY_VERIFY_WITH_TIMEOUT((finish = screenReader.button(*application, QStringLiteral("Finish dictation"))).has_value(),
                                 20000);
        QVERIFY(screenReader.press(*finish));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() == streamsBefore, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(screenReader.button(*application, QStringLiteral("Start dictation")).has_value(), 30000);
    }
};

QTEST_GUILESS_MAIN(AccessibleWindowsTest)
#include "tst_accessible_windows.moc"
