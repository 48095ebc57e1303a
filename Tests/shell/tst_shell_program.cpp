#include "FakeNotificationServer.h"
#include "FakeTrayHost.h"
#include "Services/Shell/SingleInstance.h"
#include "TestPaths.h"

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 20000;

// Windows come and go while they are listed; an error about one that went is no failure.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

// The real program on the test session's display and bus: its tray item, its one
// instance, its window that closes without ending it, and Quit.
class ShellProgramTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    Display *display = nullptr;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
        env.insert(QStringLiteral("SORVANE_SKIP_INSTALL_LOCATION_PROMPT"), QStringLiteral("1"));
        return env;
    }

    std::unique_ptr<QProcess> launch(const QProcessEnvironment &env)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(buildDirectory() + QStringLiteral("/bin/sorvane"), QStringList());
        return process;
    }
    std::unique_ptr<QProcess> launch() { return launch(environment()); }

    static bool nameOwned()
    {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(QLatin1String(SingleInstance::serviceName));
    }

    // The program's top-level windows that are mapped, by _NET_WM_PID.
    QList<Window> visibleWindowsOf(qint64 pid)
    {
        QList<Window> found;
        const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
        Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
        unsigned count = 0;
        // Reparenting window managers put the program's window one level down.
        std::function<void(Window, int)> walk = [&](Window window, int depth) {
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char *data = nullptr;
            if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                                   &data) == Success && data) {
                const qint64 owner = items ? qint64(*reinterpret_cast<unsigned long *>(data)) : -1;
                XFree(data);
                XWindowAttributes attributes;
                if (owner == pid && XGetWindowAttributes(display, window, &attributes)
                    && attributes.map_state == IsViewable)
                    found.append(window);
            }
            if (depth == 0)
                return;
            Window r = 0, p = 0, *kids = nullptr;
            unsigned n = 0;
            if (XQueryTree(display, window, &r, &p, &kids, &n)) {
                for (unsigned i = 0; i < n; ++i)
                    walk(kids[i], depth - 1);
                if (kids)
                    XFree(kids);
            }
        };
        if (XQueryTree(display, root, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count; ++i)
                walk(children[i], 1);
            if (children)
                XFree(children);
        }
        return found;
    }

    // What the window manager's close button sends.
    void askToClose(Window window)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }

    static bool exitedCleanly(QProcess &process)
    {
        if (!process.waitForFinished(wait))
            return false;
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const bool session = qEnvironmentVariableIsSet("SORVANE_TEST_SESSION");
        if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected()) {
            if (session)
                QFAIL("the test session has no display or no bus");
            QSKIP("needs the test session's display and bus");
        }
        display = XOpenDisplay(nullptr);
        QVERIFY(display);
        XSetErrorHandler(ignoreErrors);
        QVERIFY(home.isValid());
        QVERIFY(!nameOwned());
    }

    void cleanupTestCase()
    {
        if (display)
            XCloseDisplay(display);
    }

    void trayWindowInstanceAndQuit()
    {
        FakeTrayHost tray;
        QVERIFY(tray.start());
        auto first = launch();
        QVERIFY(first->waitForStarted(wait));
        QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), wait);
        // The tray item is registered with the panel, and no window is made at start.
        QTRY_VERIFY_WITH_TIMEOUT(tray.itemOf(first->processId()).has_value(), wait);
        const QString item = *tray.itemOf(first->processId());
        QList<QPair<int, QString>> menu;
        QTRY_VERIFY_WITH_TIMEOUT((menu = tray.menuOf(item)).size() == 5, wait);
        QStringList labels;
        for (const auto &entry : menu)
            labels << entry.second;
        QCOMPARE(labels, (QStringList{"Start or stop dictation", "Start or stop Command", "Open Sorvane",
                                      "Check for Updates\u2026", "Quit Sorvane"}));
        QVERIFY(visibleWindowsOf(first->processId()).isEmpty());

        // A second launch hands over and ends; the first brings its window forward.
        auto second = launch();
        QVERIFY(exitedCleanly(*second));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(first->processId()).size(), 1, wait);

        // Closing the window leaves the program running in the tray.
        askToClose(visibleWindowsOf(first->processId()).first());
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowsOf(first->processId()).isEmpty(), wait);
        QVERIFY(!first->waitForFinished(1000));
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(nameOwned());

        // "Open Sorvane" from the tray makes the window again.
        QVERIFY(tray.click(item, menu.at(2).first));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(first->processId()).size(), 1, wait);

        // Quit ends it, with status 0, and frees the name for the next start.
        QVERIFY(tray.click(item, menu.at(4).first));
        QVERIFY(exitedCleanly(*first));
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), wait);
    }

    void terminationSignalEndsWithZero()
    {
        auto program = launch();
        QVERIFY(program->waitForStarted(wait));
        QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), wait);
        program->terminate();
        QVERIFY(exitedCleanly(*program));
    }

    void waylandSessionSaysSoOnce()
    {
        FakeNotificationServer notifications(QStringLiteral("notifications"));
        QVERIFY(notifications.start());
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        auto program = launch(env);
        QVERIFY(program->waitForStarted(wait));
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls.size(), 1, wait);
        const auto call = notifications.calls.first();
        QCOMPARE(call.appName, QStringLiteral("Sorvane"));
        QCOMPARE(call.summary, QStringLiteral("Global shortcuts are unavailable"));
        QVERIFY(call.body.contains(QLatin1String("Wayland")));
        QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.sorvane.local"));
        QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), wait);
        program->terminate();
        QVERIFY(exitedCleanly(*program));
        QCOMPARE(notifications.calls.size(), 1);
    }
};

QTEST_GUILESS_MAIN(ShellProgramTest)
#include "tst_shell_program.moc"
