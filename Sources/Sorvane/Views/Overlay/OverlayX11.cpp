#include "OverlayX11.h"

#include <QGuiApplication>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

namespace sorvane::OverlayX11 {

namespace {

// Qt's own connection: requests on it are ordered with Qt's map of the window.
Display *display()
{
    if (!qGuiApp)
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

Atom atom(Display *dpy, const char *name)
{
    return XInternAtom(dpy, name, False);
}

void setAtoms(Display *dpy, Window window, const char *property, std::initializer_list<const char *> names)
{
    QVarLengthArray<Atom, 8> atoms;
    for (const char *name : names)
        atoms.append(atom(dpy, name));
    XChangeProperty(dpy, window, atom(dpy, property), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(atoms.constData()), int(atoms.size()));
}

} // namespace

bool isAvailable()
{
    return display() != nullptr;
}

void applyHints(QWindow &window)
{
    Display *dpy = display();
    if (!dpy || !window.handle())
        return;
    const Window id = Window(window.winId());
    // Preferred first; a window manager that does not know a notification takes a utility.
    setAtoms(dpy, id, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_NOTIFICATION", "_NET_WM_WINDOW_TYPE_UTILITY"});
    setAtoms(dpy, id, "_NET_WM_STATE",
             {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
    const long allDesktops = 0xFFFFFFFF;
    XChangeProperty(dpy, id, atom(dpy, "_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&allDesktops), 1);
    // Never take the input focus, also not by a window manager's click-to-focus.
    XWMHints *hints = XGetWMHints(dpy, id);
    XWMHints fresh{};
    XWMHints *wm = hints ? hints : &fresh;
    wm->flags |= InputHint;
    wm->input = False;
    XSetWMHints(dpy, id, wm);
    if (hints)
        XFree(hints);
    XFlush(dpy);
}

void setInputShape(QWindow &window, const QRegion &region)
{
    Display *dpy = display();
    if (!dpy || !window.handle())
        return;
    const qreal ratio = window.devicePixelRatio();
    QVarLengthArray<XRectangle, 64> rects;
    for (const QRect &rect : region) {
        rects.append(XRectangle{short(rect.x() * ratio), short(rect.y() * ratio),
                                (unsigned short)(rect.width() * ratio), (unsigned short)(rect.height() * ratio)});
    }
    XShapeCombineRectangles(dpy, Window(window.winId()), ShapeInput, 0, 0, rects.data(), int(rects.size()), ShapeSet,
                            Unsorted);
    XFlush(dpy);
}

bool compositorRunning()
{
    Display *dpy = display();
    if (!dpy)
        return true;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(dpy));
    return XGetSelectionOwner(dpy, atom(dpy, name.constData())) != None;
}

std::optional<QPoint> activeWindowCentre()
{
    Display *dpy = display();
    if (!dpy)
        return std::nullopt;
    const Window root = DefaultRootWindow(dpy);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, root, atom(dpy, "_NET_ACTIVE_WINDOW"), 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) != Success)
        return std::nullopt;
    Window active = None;
    if (data && count == 1 && format == 32)
        active = *reinterpret_cast<Window *>(data);
    if (data)
        XFree(data);
    if (active == None)
        return std::nullopt;
    // A window that is gone by now must not end the program.
    auto *previous = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    XWindowAttributes attributes{};
    const bool known = XGetWindowAttributes(dpy, active, &attributes) != 0;
    int x = 0, y = 0;
    Window child = None;
    const bool translated =
        known && XTranslateCoordinates(dpy, active, root, 0, 0, &x, &y, &child) != 0;
    XSync(dpy, False);
    XSetErrorHandler(previous);
    if (!translated || attributes.width <= 0 || attributes.height <= 0)
        return std::nullopt;
    const qreal ratio = qGuiApp->devicePixelRatio();
    return QPoint(int((x + attributes.width / 2) / ratio), int((y + attributes.height / 2) / ratio));
}

} // namespace sorvane::OverlayX11
