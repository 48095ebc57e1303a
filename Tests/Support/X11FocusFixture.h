#pragma once

// For the tests that show a window of ours on the test session's X display and check
// that it leaves the keyboard focus where it was: a display connection, and the capture
// fixture's window holding the focus. Header-only: only the tests that include it link Xlib.
// Include it after the Qt headers: Xlib's macros (None, Bool ...) break them.

#include "TestPaths.h"

#include <QProcess>
#include <QTest>

#include <X11/Xlib.h>

namespace sorvane::testing {

class X11FocusFixture {
public:
    ~X11FocusFixture() { stop(); }

    // Opens the display and starts the fixture; false, with `error` saying which step
    // failed, unless its window came up and something holds the focus.
    bool start()
    {
        display = XOpenDisplay(nullptr);
        if (!display)
            return fail("the X display did not open");
        process.start(testProgram(QStringLiteral("capture-fixture")), {QStringLiteral("Focus stays here")});
        if (!process.waitForStarted(20000))
            return fail("the fixture did not start");
        if (!QTest::qWaitFor([this] { return process.canReadLine(); }, 20000))
            return fail("the fixture said nothing");
        const QList<QByteArray> ready = process.readLine().trimmed().split(' ');
        if (ready.value(0) != QByteArray("ready"))
            return fail("the fixture did not say it was ready");
        window = ready.value(1).toULong();
        if (window == 0)
            return fail("the fixture named no window");
        if (!QTest::qWaitFor([this] { return focus() != None && focus() != PointerRoot; }, 20000))
            return fail("nothing took the keyboard focus");
        return true;
    }

    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(10000);
        }
        if (display)
            XCloseDisplay(display);
        display = nullptr;
    }

    // The window that has the keyboard focus, as the X server sees it.
    unsigned long focus()
    {
        Window focused = None;
        int revert = 0;
        XSync(display, False);
        XGetInputFocus(display, &focused, &revert);
        return focused;
    }

    Display *display = nullptr;
    QProcess process;
    unsigned long window = 0;
    QString error;

private:
    bool fail(const char *what)
    {
        error = QString::fromUtf8(what);
        return false;
    }
};

} // namespace sorvane::testing
