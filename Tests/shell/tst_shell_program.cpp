#include "FakeNotificationServer.h"
#include "FakeTrayHost.h"
#include "Services/Shell/SingleInstance.h"
#include "TestPaths.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
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

    std::unique_ptr<QProcess> launch(const QProcessEnvironment &env, const QStringList &arguments = {})
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(buildDirectory() + QStringLiteral("/bin/sorvane"), arguments);
        return process;
    }
    std::unique_ptr<QProcess> launch() { return launch(environment()); }

    // A home of its own, so that what one start remembers does not reach another test.
    QProcessEnvironment freshEnvironment(QTemporaryDir &folder) const
    {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("HOME"), folder.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), folder.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), folder.path() + QStringLiteral("/cache"));
        return env;
    }

    static void writeOnboardingComplete(const QString &configHome)
    {
        QDir().mkpath(configHome + QStringLiteral("/Sorvane"));
        QFile file(configHome + QStringLiteral("/Sorvane/settings.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"onboardingComplete": {"bool": true}})");
    }

    bool hasIcon(Window window)
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *data = nullptr;
        const bool read = XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0, 2,
                                             False, XA_CARDINAL, &type, &format, &items, &after, &data) == Success;
        const bool found = read && data && items == 2;
        if (data)
            XFree(data);
        return found;
    }

    // The program remembers that it explained the close in its settings file.
    static bool closeExplained(const QProcessEnvironment &env)
    {
        QFile file(env.value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/Sorvane/settings.json"));
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("keepsRunningNoticeShown");
    }

    // Types keys into the window as a person would, through the X server's test extension.
    static bool typeInto(Window window, const QString &keys)
    {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                                  QString::number(window), QStringLiteral("key"), keys});
        return xdotool.waitForFinished(wait) && xdotool.exitCode() == 0;
    }

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
        // The first start shows the window, tray or not.
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(first->processId()).size(), 1, wait);
        QList<QPair<int, QString>> menu;
        QTRY_VERIFY_WITH_TIMEOUT((menu = tray.menuOf(item)).size() == 5, wait);
        QStringList labels;
        for (const auto &entry : menu)
            labels << entry.second;
        QCOMPARE(labels, (QStringList{"Start or stop dictation", "Start or stop Command", "Open Sorvane",
                                      "Check for Updates\u2026", "Quit Sorvane"}));

        // Closing the window leaves the program running in the tray, without a word.
        askToClose(visibleWindowsOf(first->processId()).first());
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowsOf(first->processId()).isEmpty(), wait);

        // A second launch hands over and ends; the first brings its window back.
        auto second = launch();
        QVERIFY(exitedCleanly(*second));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(first->processId()).size(), 1, wait);
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

    // The login item's start stays in the tray only once the set-up is done and a tray
    // host is there; every other start shows the window.
    void loginItemStartStaysQuietOnlyWithATrayAfterSetUp_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("onboarded");
        QTest::addColumn<bool>("windowShown");
        QTest::newRow("tray, set up") << true << true << false;
        QTest::newRow("tray, not set up") << true << false << true;
        QTest::newRow("no tray, set up") << false << true << true;
    }
    void loginItemStartStaysQuietOnlyWithATrayAfterSetUp()
    {
        QFETCH(bool, tray);
        QFETCH(bool, onboarded);
        QFETCH(bool, windowShown);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QProcessEnvironment env = freshEnvironment(folder);
        if (onboarded)
            writeOnboardingComplete(env.value(QStringLiteral("XDG_CONFIG_HOME")));
        FakeTrayHost host;
        if (tray)
            QVERIFY(host.start());
        auto program = launch(env, {QStringLiteral("--autostart")});
        QVERIFY(program->waitForStarted(wait));
        QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), wait);
        if (windowShown) {
            QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);
        } else {
            // The item reaches the panel after the start's window would have been mapped.
            QTRY_VERIFY_WITH_TIMEOUT(host.itemOf(program->processId()).has_value(), wait);
            QVERIFY(visibleWindowsOf(program->processId()).isEmpty());
            // Still reachable: a start from the desktop entry brings the window.
            auto second = launch(env);
            QVERIFY(exitedCleanly(*second));
            QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);
        }
        program->terminate();
        QVERIFY(exitedCleanly(*program));
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), wait);
    }

    // With no tray host the window is the only way back: the first close stays and says
    // so, the next closes hide it, a new start brings it back, and Quit in the window ends.
    void withoutATrayCloseRelaunchAndQuit()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QProcessEnvironment env = freshEnvironment(folder);
        auto program = launch(env);
        QVERIFY(program->waitForStarted(wait));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);
        const Window first = visibleWindowsOf(program->processId()).first();
        // The window carries the program's mark for the task bar and the window list.
        QVERIFY(hasIcon(first));

        // The first close is answered in the window, which stays; the answer is remembered.
        askToClose(first);
        QTRY_VERIFY_WITH_TIMEOUT(closeExplained(env), wait);
        QCOMPARE(visibleWindowsOf(program->processId()).size(), 1);

        // Closed now; the program runs on and a new start brings the window back.
        askToClose(first);
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowsOf(program->processId()).isEmpty(), wait);
        QCOMPARE(program->state(), QProcess::Running);
        auto second = launch(env);
        QVERIFY(exitedCleanly(*second));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);

        // Said once: this close hides the window at once.
        askToClose(visibleWindowsOf(program->processId()).first());
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowsOf(program->processId()).isEmpty(), wait);
        auto third = launch(env);
        QVERIFY(exitedCleanly(*third));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);

        // The window's own Quit (Ctrl+Q of the Sorvane menu) ends it.
        QVERIFY(typeInto(visibleWindowsOf(program->processId()).first(), QStringLiteral("ctrl+q")));
        QVERIFY(exitedCleanly(*program));
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), wait);
    }

    // Without a session bus the runtime folder's lock keeps it to one copy: a second
    // start hands over to the first and ends.
    void withoutASessionBusTwoStartsLeaveOne()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QProcessEnvironment env = freshEnvironment(folder);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/sorvane-no-bus"));
        const QString runtime = folder.path() + QStringLiteral("/runtime");
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);

        auto first = launch(env);
        QVERIFY(first->waitForStarted(wait));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(first->processId()).size(), 1, wait);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime + QStringLiteral("/com.sorvane.local.socket")), wait);
        askToClose(visibleWindowsOf(first->processId()).first());
        // No tray without a bus either: the first close stays in the window, the second hides it.
        QTRY_VERIFY_WITH_TIMEOUT(closeExplained(env), wait);
        askToClose(visibleWindowsOf(first->processId()).first());
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowsOf(first->processId()).isEmpty(), wait);

        auto second = launch(env);
        QVERIFY(exitedCleanly(*second));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(first->processId()).size(), 1, wait);
        QCOMPARE(first->state(), QProcess::Running);
        first->terminate();
        QVERIFY(exitedCleanly(*first));
    }

    // The tray is followed: once the panel's tray host has gone, a close says first that
    // Sorvane keeps running, as it does where there never was a tray.
    void aTrayHostThatGoesIsFollowed()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QProcessEnvironment env = freshEnvironment(folder);
        auto tray = std::make_unique<FakeTrayHost>();
        QVERIFY(tray->start());
        auto program = launch(env);
        QVERIFY(program->waitForStarted(wait));
        QTRY_VERIFY_WITH_TIMEOUT(tray->itemOf(program->processId()).has_value(), wait);
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);

        // With the tray there, a close hides the window without a word.
        askToClose(visibleWindowsOf(program->processId()).first());
        QTRY_VERIFY_WITH_TIMEOUT(visibleWindowsOf(program->processId()).isEmpty(), wait);
        QVERIFY(!closeExplained(env));

        tray.reset();
        auto second = launch(env);
        QVERIFY(exitedCleanly(*second));
        QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);
        askToClose(visibleWindowsOf(program->processId()).first());
        QTRY_VERIFY_WITH_TIMEOUT(closeExplained(env), wait);
        QCOMPARE(visibleWindowsOf(program->processId()).size(), 1);
        program->terminate();
        QVERIFY(exitedCleanly(*program));
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

    // Told once per kind of session: the next Wayland start stays silent.
    void waylandSessionSaysSoOnce()
    {
        FakeNotificationServer notifications(QStringLiteral("notifications"));
        QVERIFY(notifications.start());
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QProcessEnvironment env = freshEnvironment(folder);
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        for (int start = 0; start < 2; ++start) {
            auto program = launch(env);
            QVERIFY(program->waitForStarted(wait));
            QTRY_COMPARE_WITH_TIMEOUT(notifications.calls.size(), 1, wait);
            QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), wait);
            QTRY_COMPARE_WITH_TIMEOUT(visibleWindowsOf(program->processId()).size(), 1, wait);
            program->terminate();
            QVERIFY(exitedCleanly(*program));
            QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), wait);
        }
        QCOMPARE(notifications.calls.size(), 1);
        const auto call = notifications.calls.first();
        QCOMPARE(call.appName, QStringLiteral("Sorvane"));
        QCOMPARE(call.summary, QStringLiteral("Global shortcuts are unavailable"));
        QVERIFY(call.body.contains(QLatin1String("Wayland")));
        QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.sorvane.local"));
    }
};

QTEST_GUILESS_MAIN(ShellProgramTest)
#include "tst_shell_program.moc"
