// A new user whose window manager keeps Alt+Space: the built program says the Dictation
// shortcut was refused, the user records Ctrl+Alt+D in the Shortcuts area and dictates
// with it into another window. The screens are driven as an assistive tool drives them,
// over the session's accessibility bus.
#include "Shared/AppPaths.h"
#include "Platform/SettingsStore.h"
#include "Dictation/SpeechModel.h"
#include "Shared/KeyboardShortcutSetting.h"
#include "TestPaths.h"
#include "E2eTools.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <memory>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QString transcript = QStringLiteral("Dictated with a shortcut of my own.");
constexpr unsigned spaceKeyCode = 65;

// One element of the accessibility tree: its bus name and object path.
struct Element {
    QString service;
    QString path;
};

const QDBusArgument &operator>>(const QDBusArgument &argument, Element &element)
{
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> element.service >> path;
    argument.endStructure();
    element.path = path.path();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const Element &element)
{
    argument.beginStructure();
    argument << element.service << QDBusObjectPath(element.path);
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(Element)

namespace {

// Reads the accessibility bus as a screen reader does.
class AccessibilityBus {
public:
    bool connect()
    {
        qDBusRegisterMetaType<Element>();
        qDBusRegisterMetaType<QList<Element>>();
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
        if (!address.isValid())
            return false;
        m_bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address.value(), QStringLiteral("e2e-accessibility")));
        return m_bus->isConnected();
    }

    QList<Element> children(const Element &element) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(element.service, element.path,
                                                           QStringLiteral("org.a11y.atspi.Accessible"),
                                                           QStringLiteral("GetChildren"));
        const QDBusReply<QList<Element>> reply = m_bus->call(call, QDBus::Block, 5000);
        return reply.isValid() ? reply.value() : QList<Element>();
    }

    QString name(const Element &element) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(element.service, element.path,
                                                           QStringLiteral("org.freedesktop.DBus.Properties"),
                                                           QStringLiteral("Get"));
        call << QStringLiteral("org.a11y.atspi.Accessible") << QStringLiteral("Name");
        const QDBusReply<QDBusVariant> reply = m_bus->call(call, QDBus::Block, 5000);
        return reply.isValid() ? reply.value().variant().toString() : QString();
    }

    // The first element named so in the application's tree, depth first.
    std::optional<Element> find(const QString &application, const QString &wanted) const
    {
        const Element registry{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
        for (const Element &app : children(registry)) {
            if (name(app).compare(application, Qt::CaseInsensitive) != 0)
                continue;
            QList<Element> pending{app};
            int budget = 4000;
            while (!pending.isEmpty() && budget-- > 0) {
                const Element element = pending.takeFirst();
                if (name(element) == wanted)
                    return element;
                pending = children(element) + pending;
            }
        }
        return std::nullopt;
    }

    // Every name in the application's tree, for a failure's message.
    QStringList names(const QString &application) const
    {
        QStringList all;
        const Element registry{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
        for (const Element &app : children(registry)) {
            if (name(app).compare(application, Qt::CaseInsensitive) != 0)
                continue;
            QList<Element> pending{app};
            int budget = 4000;
            while (!pending.isEmpty() && budget-- > 0) {
                const Element element = pending.takeFirst();
                all << name(element);
                pending = children(element) + pending;
            }
        }
        return all;
    }

    // The element's place on the screen.
    std::optional<QRect> extents(const Element &element) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(element.service, element.path,
                                                           QStringLiteral("org.a11y.atspi.Component"),
                                                           QStringLiteral("GetExtents"));
        call << uint(0); // screen coordinates
        const QDBusMessage reply = m_bus->call(call, QDBus::Block, 5000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return std::nullopt;
        const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
        int x = 0, y = 0, width = 0, height = 0;
        argument.beginStructure();
        argument >> x >> y >> width >> height;
        argument.endStructure();
        return QRect(x, y, width, height);
    }

    // Clicks the middle of the element with the pointer, as the user would.
    bool click(const Element &element) const
    {
        const auto rect = extents(element);
        if (!rect || rect->isEmpty())
            return false;
        const QPoint centre = rect->center();
        return runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(centre.x()),
                                                   QString::number(centre.y()), QStringLiteral("click"),
                                                   QStringLiteral("1")})
            .has_value();
    }

private:
    std::unique_ptr<QDBusConnection> m_bus;
};

int s_lastError = 0;
int recordError(Display *, XErrorEvent *event)
{
    s_lastError = event->error_code;
    return 0;
}

} // namespace

class ShortcutSetupEndToEndTest : public QObject {
    Q_OBJECT

    Display *display = nullptr;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<QProcess> sorvane;
    QByteArray errors;
    AccessibilityBus accessibility;

    QString configHome() const { return home->filePath(QStringLiteral("config")); }
    QString dataHome() const { return home->filePath(QStringLiteral("data")); }

    // What the window manager's default bindings do: Alt+Space is its window menu.
    bool holdAltSpaceLikeTheWindowManager()
    {
        s_lastError = 0;
        XErrorHandler previous = XSetErrorHandler(recordError);
        for (unsigned locks : {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)})
            XGrabKey(display, int(spaceKeyCode), Mod1Mask | locks, DefaultRootWindow(display), False, GrabModeAsync,
                     GrabModeAsync);
        XSync(display, False);
        XSetErrorHandler(previous);
        return s_lastError == 0;
    }

    quint64 activeWindow()
    {
        const auto window = runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
        return window ? window->trimmed().toULongLong() : 0;
    }

    std::optional<Element> findInProgram(const QString &name)
    {
        std::optional<Element> found;
        QTest::qWaitFor([&] { return (found = accessibility.find(QStringLiteral("sorvane"), name)).has_value(); }, 20000);
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!displayAndMicrophoneProvided())
            return;
        for (const char *tool : {"xdotool", "sox", "paplay", "pactl"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        display = XOpenDisplay(nullptr);
        QVERIFY(display);
        QVERIFY2(accessibility.connect(), "no accessibility bus in this session");
    }

    void cleanupTestCase()
    {
        if (display) {
            XUngrabKey(display, int(spaceKeyCode), AnyModifier, DefaultRootWindow(display));
            XCloseDisplay(display);
        }
    }

    void init()
    {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        QDir().mkpath(configHome() + QStringLiteral("/Sorvane"));
        JsonFileSettingsStore settings(configHome() + QStringLiteral("/Sorvane/settings.json"));
        settings.setValue(QStringLiteral("onboardingComplete"), true);
        settings.setValue(QStringLiteral("selectedModelID"), QStringLiteral("pocket"));
        settings.setValue(QStringLiteral("completionSoundEnabled"), false);
        useDataHome(dataHome());
        const SpeechModel *model = SpeechModel::find(QStringLiteral("pocket"));
        QVERIFY(model);
        QVERIFY(writeFile(AppPaths::models() + QLatin1Char('/') + model->fileName, "weights"));
    }

    void cleanup()
    {
        if (sorvane)
            stopProgram(*sorvane);
        sorvane.reset();
        runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl+alt+d")});
    }

    void aRefusedToggleIsReplacedAndDictatesWithTheNewKeys()
    {
        QVERIFY(holdAltSpaceLikeTheWindowManager());

        sorvane = std::make_unique<QProcess>();
        QProcessEnvironment environment = sorvaneEnvironment(dataHome(), configHome(), transcript,
                                                             home->filePath(QStringLiteral("agent.log")));
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        sorvane->setProcessEnvironment(environment);
        sorvane->setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(sorvane.get(), &QProcess::readyRead, [this] { errors += sorvane->readAll(); });
        sorvane->start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(sorvane->waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(errors.contains("The shortcut Alt+Space was refused"), 20000);

        // A second start brings the first one's window forward; the user opens the settings.
        QProcess again;
        again.setProcessEnvironment(environment);
        again.start(buildDirectory() + QStringLiteral("/bin/sorvane"), {});
        QVERIFY(again.waitForFinished(20000));
        const auto settingsSection = findInProgram(QStringLiteral("Settings"));
        QVERIFY2(settingsSection, errors.constData());
        QVERIFY(accessibility.click(*settingsSection));

        // The Shortcuts area tells why the toggle does nothing.
        QVERIFY2(findInProgram(QStringLiteral("In use by another program")),
                 qPrintable(accessibility.names(QStringLiteral("sorvane")).join(QStringLiteral(" | "))));
        const auto recorder = findInProgram(QStringLiteral("Dictate shortcut"));
        QVERIFY(recorder);
        const QString window = QString::fromUtf8(
            runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                QStringLiteral("--pid"), QString::number(sorvane->processId())})
                .value_or(QByteArray())
                .split('\n')
                .first());
        QVERIFY(!window.isEmpty());
        runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), window});
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), window.toULongLong(), 20000);
        QVERIFY(accessibility.click(*recorder));
        QVERIFY(findInProgram(QStringLiteral("Press keys\u2026")));
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+alt+d")}));

        // Stored, and grabbed once the recording ended.
        const QString settingsFile = configHome() + QStringLiteral("/Sorvane/settings.json");
        const KeyboardShortcutSetting ctrlAltD{2, QStringLiteral("D"), false, true, true, false};
        QTRY_COMPARE_WITH_TIMEOUT(
            KeyboardShortcutSetting::load(JsonFileSettingsStore(settingsFile), QStringLiteral("toggleShortcut"), {}),
            ctrlAltD, 20000);
        QVERIFY2(findInProgram(QStringLiteral("Ctrl+Alt+D")), "the recorder does not show the new shortcut");
        // The refusal went with the old keys.
        QVERIFY(!accessibility.find(QStringLiteral("sorvane"), QStringLiteral("In use by another program")));

        // Dictation with the new keys, into another window.
        TargetWindow target;
        QVERIFY2(target.start(), "the target window did not become active");
        runTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QString::number(target.window)});
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), target.window, 20000);
        const QString tone = home->filePath(QStringLiteral("tone.wav"));
        QVERIFY(writeTone(tone));
        const int streamsBefore = recordingStreams();
        QVERIFY(streamsBefore >= 0);
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+alt+d")}));
        QTRY_VERIFY_WITH_TIMEOUT(recordingStreams() > streamsBefore, 20000);
        QCOMPARE(QProcess::execute(QStringLiteral("paplay"),
                                   {QStringLiteral("--device=") + qEnvironmentVariable("SORVANE_TEST_PULSE_SINK"), tone}),
                 0);
        QVERIFY(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+alt+d")}));
        QTRY_COMPARE_WITH_TIMEOUT(target.text, transcript, 30000);
    }
};

QTEST_MAIN(ShortcutSetupEndToEndTest)
#include "tst_shortcut_setup_e2e.moc"
