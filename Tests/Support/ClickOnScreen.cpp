// The pointer clicks of the tests that drive another program's screens as a user does
// (declared in Tests/models/AtSpiDriver.h), kept away from the Qt headers that Xlib's
// macros would break.
#include <QPoint>

namespace sorvane::testing {
bool clickOnScreen(QPoint at, int button);
}

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

bool sorvane::testing::clickOnScreen(QPoint at, int button)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XTestFakeMotionEvent(display, -1, at.x(), at.y(), CurrentTime);
    XSync(display, False);
    XTestFakeButtonEvent(display, unsigned(button), True, CurrentTime);
    XTestFakeButtonEvent(display, unsigned(button), False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}

