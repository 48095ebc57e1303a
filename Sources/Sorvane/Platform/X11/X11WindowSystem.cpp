#include "X11WindowSystem.h"
#include "X11Connection.h"

#include <QLocale>
#include <QStandardPaths>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <csignal>

namespace sorvane {

namespace {
// A lookup that finds no desktop file reads the folders again, at most this often.
constexpr qint64 desktopEntriesRefreshMs = 30'000;
} // namespace

X11WindowSystem::X11WindowSystem(std::shared_ptr<X11Connection> connection) : m_x(std::move(connection)) {}

X11WindowSystem::~X11WindowSystem() = default;

bool X11WindowSystem::hasWindowManager()
{
    const auto check = m_x->cardinals(m_x->root(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (!check || check->isEmpty() || check->first() == 0)
        return false;
    // A manager that died leaves the root property behind; its own window says it is alive.
    const auto self = m_x->cardinals(Window(check->first()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (!self || self->isEmpty() || self->first() != check->first())
        return false;
    const auto supported = m_x->cardinals(m_x->root(), "_NET_SUPPORTED", XA_ATOM);
    return supported && supported->contains(m_x->atom("_NET_ACTIVE_WINDOW"));
}

quint64 X11WindowSystem::activeWindow()
{
    m_x->processPendingEvents();
    if (hasWindowManager()) {
        const auto active = m_x->cardinals(m_x->root(), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return active && !active->isEmpty() ? active->first() : 0;
    }
    // No manager: the focus window, climbed up to its top-level window.
    Display *display = m_x->display();
    X11Connection::ErrorTrap trap(*m_x);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == m_x->root())
        return 0;
    Window current = focus;
    for (int depth = 0; depth < 64; ++depth) {
        Window root = None, parent = None;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, current, &root, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == root || parent == None)
            break;
        current = parent;
    }
    return trap.failed() ? 0 : current;
}

QList<quint64> X11WindowSystem::clientWindowsFrontToBack()
{
    QList<quint64> windows;
    if (hasWindowManager()) {
        const auto stacking = m_x->cardinals(m_x->root(), "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
        if (stacking) {
            for (auto it = stacking->crbegin(); it != stacking->crend(); ++it)
                windows.append(*it);
            return windows;
        }
    }
    Display *display = m_x->display();
    X11Connection::ErrorTrap trap(*m_x);
    Window root = None, parent = None;
    Window *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, m_x->root(), &root, &parent, &children, &count) && children) {
        for (unsigned int i = count; i > 0; --i) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, children[i - 1], &attributes) && !attributes.override_redirect
                && attributes.c_class == InputOutput)
                windows.append(children[i - 1]);
        }
    }
    if (children)
        XFree(children);
    return windows;
}

qint64 X11WindowSystem::processOf(quint64 window)
{
    const auto pid = m_x->cardinals(Window(window), "_NET_WM_PID", XA_CARDINAL);
    return pid && !pid->isEmpty() ? qint64(pid->first()) : 0;
}

bool X11WindowSystem::windowExists(quint64 window)
{
    if (!m_x || window == 0)
        return false;
    X11Connection::ErrorTrap trap(*m_x);
    XWindowAttributes attributes;
    const bool got = XGetWindowAttributes(m_x->display(), Window(window), &attributes);
    return !trap.failed() && got;
}

RunningApplication X11WindowSystem::applicationOf(quint64 window)
{
    RunningApplication application;
    application.window = window;
    application.processId = processOf(window);
    {
        X11Connection::ErrorTrap trap(*m_x);
        XClassHint hint{nullptr, nullptr};
        if (XGetClassHint(m_x->display(), Window(window), &hint)) {
            application.windowInstance = QString::fromLocal8Bit(hint.res_name);
            application.windowClass = QString::fromLocal8Bit(hint.res_class);
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    WindowNameHints hints;
    hints.windowClass = application.windowClass;
    hints.windowInstance = application.windowInstance;
    for (const char *property : {"_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE", "_BAMF_DESKTOP_FILE"}) {
        const auto value = m_x->bytes(Window(window), property);
        if (value && !value->isEmpty()) {
            hints.desktopId = QString::fromUtf8(*value).trimmed();
            break;
        }
    }
    application.name = nameFor(hints);
    return application;
}

QString X11WindowSystem::nameFor(const WindowNameHints &hints)
{
    const auto load = [this] {
        m_desktopEntries = loadDesktopEntries(
            QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation), QLocale::system().name());
        m_desktopEntriesAge.start();
    };
    if (!m_desktopEntriesAge.isValid())
        load();
    QString name = applicationName(m_desktopEntries, hints);
    const bool fellBack = name == hints.windowClass || name == hints.windowInstance;
    if (fellBack && m_desktopEntriesAge.elapsed() > desktopEntriesRefreshMs) {
        load(); // a program installed since the folders were read
        name = applicationName(m_desktopEntries, hints);
    }
    return name;
}

std::optional<RunningApplication> X11WindowSystem::frontmostApplication()
{
    if (!m_x)
        return std::nullopt;
    const quint64 window = activeWindow();
    if (window == 0 || !windowExists(window))
        return std::nullopt;
    return applicationOf(window);
}

std::optional<RunningApplication> X11WindowSystem::applicationForProcess(qint64 processId)
{
    if (!m_x || processId <= 0)
        return std::nullopt;
    const quint64 active = activeWindow();
    if (active != 0 && processOf(active) == processId)
        return applicationOf(active);
    // Its frontmost window on screen, else its frontmost window at all.
    std::optional<quint64> hidden;
    for (const WindowInfo &window : windowsFrontToBack()) {
        if (window.processId != processId || window.isDesktop)
            continue;
        if (window.isViewable)
            return applicationOf(window.id);
        if (!hidden)
            hidden = window.id;
    }
    if (hidden)
        return applicationOf(*hidden);
    return std::nullopt;
}

bool X11WindowSystem::isRunning(const RunningApplication &application)
{
    if (application.processId > 0) {
        if (::kill(pid_t(application.processId), 0) == 0 || errno == EPERM)
            return true;
        return false;
    }
    return windowExists(application.window);
}

void X11WindowSystem::requestActivation(const RunningApplication &application)
{
    if (!m_x)
        return;
    quint64 window = application.window;
    if (!windowExists(window) || (application.processId > 0 && processOf(window) != application.processId)) {
        const auto other = applicationForProcess(application.processId);
        if (!other)
            return;
        window = other->window;
    }
    Display *display = m_x->display();
    if (hasWindowManager()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = Window(window);
        event.xclient.message_type = m_x->atom("_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // source: a pager, which managers obey without focus-stealing checks
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = 0;
        X11Connection::ErrorTrap trap(*m_x);
        XSendEvent(display, m_x->root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        return;
    }
    X11Connection::ErrorTrap trap(*m_x);
    XRaiseWindow(display, Window(window));
    XSetInputFocus(display, Window(window), RevertToParent, CurrentTime);
}

QList<WindowInfo> X11WindowSystem::windowsFrontToBack()
{
    QList<WindowInfo> windows;
    if (!m_x)
        return windows;
    const unsigned long hiddenState = m_x->atom("_NET_WM_STATE_HIDDEN");
    const unsigned long desktopType = m_x->atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    const unsigned long dockType = m_x->atom("_NET_WM_WINDOW_TYPE_DOCK");
    Display *display = m_x->display();
    for (quint64 id : clientWindowsFrontToBack()) {
        X11Connection::ErrorTrap trap(*m_x);
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, Window(id), &attributes))
            continue;
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(display, Window(id), m_x->root(), 0, 0, &x, &y, &child);
        if (trap.failed())
            continue; // gone while we looked
        WindowInfo info;
        info.id = id;
        info.processId = processOf(id);
        info.geometry = QRect(x, y, attributes.width, attributes.height);
        const auto state = m_x->cardinals(Window(id), "_NET_WM_STATE", XA_ATOM);
        info.isViewable = attributes.map_state == IsViewable && !(state && state->contains(hiddenState));
        const auto type = m_x->cardinals(Window(id), "_NET_WM_WINDOW_TYPE", XA_ATOM);
        info.isDesktop = type && (type->contains(desktopType) || type->contains(dockType));
        windows.append(info);
    }
    return windows;
}

} // namespace sorvane
