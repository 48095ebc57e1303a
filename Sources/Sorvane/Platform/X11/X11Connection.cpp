#include "X11Connection.h"

#include <QSocketNotifier>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace sorvane {

namespace {

using ErrorHandler = int (*)(Display *, XErrorEvent *);

// Traps nest (everything here runs on the main thread); the outermost one installs
// the handler.
Display *trappedDisplay = nullptr;
int trappedError = 0; // the first error code in the innermost trap
int trapDepth = 0;
ErrorHandler outerHandler = nullptr;

int trapHandler(Display *display, XErrorEvent *event)
{
    if (display == trappedDisplay) {
        if (trappedError == 0)
            trappedError = event->error_code;
        return 0;
    }
    // Another connection's error: not ours to judge.
    return outerHandler ? outerHandler(display, event) : 0;
}

} // namespace

std::shared_ptr<X11Connection> X11Connection::open()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    return std::shared_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(Display *display) : m_display(display)
{
    m_notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { processPendingEvents(); });
}

X11Connection::~X11Connection()
{
    m_notifier.reset();
    XCloseDisplay(m_display);
}

void X11Connection::addEventListener(X11EventListener *listener)
{
    if (!m_listeners.contains(listener))
        m_listeners.append(listener);
    scheduleReadIfQueued();
}

void X11Connection::removeEventListener(X11EventListener *listener)
{
    m_listeners.removeAll(listener);
}

void X11Connection::scheduleReadIfQueued()
{
    if (m_readScheduled || XQLength(m_display) == 0)
        return;
    m_readScheduled = true;
    QMetaObject::invokeMethod(m_notifier.get(), [this] { processPendingEvents(); }, Qt::QueuedConnection);
}

unsigned long X11Connection::root() const
{
    return DefaultRootWindow(m_display);
}

unsigned long X11Connection::atom(const char *name)
{
    const QByteArray key(name);
    auto it = m_atoms.constFind(key);
    if (it != m_atoms.constEnd())
        return *it;
    const Atom value = XInternAtom(m_display, name, False);
    m_atoms.insert(key, value);
    return value;
}

std::optional<QList<quint64>> X11Connection::cardinals(unsigned long window, const char *property, unsigned long type)
{
    ErrorTrap trap(*this);
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    const int status = XGetWindowProperty(m_display, window, atom(property), 0, 4096, False, type, &actualType, &format,
                                          &count, &after, &data);
    std::optional<QList<quint64>> values;
    if (status == Success && actualType == type && format == 32 && data) {
        values.emplace();
        // Format-32 data comes as longs, whatever the size of a long.
        const auto *longs = reinterpret_cast<const unsigned long *>(data);
        for (unsigned long i = 0; i < count; ++i)
            values->append(quint64(longs[i] & 0xffffffffUL));
    }
    if (data)
        XFree(data);
    if (trap.failed())
        return std::nullopt;
    return values;
}

std::optional<QByteArray> X11Connection::bytes(unsigned long window, const char *property)
{
    ErrorTrap trap(*this);
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    const int status = XGetWindowProperty(m_display, window, atom(property), 0, 65536, False, AnyPropertyType,
                                          &actualType, &format, &count, &after, &data);
    std::optional<QByteArray> value;
    if (status == Success && actualType != None && format == 8 && data)
        value = QByteArray(reinterpret_cast<const char *>(data), int(count));
    if (data)
        XFree(data);
    if (trap.failed())
        return std::nullopt;
    return value;
}

void X11Connection::processPendingEvents()
{
    m_readScheduled = false;
    bool read = false;
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        read = true;
        if (event.type == MappingNotify)
            XRefreshKeyboardMapping(&event.xmapping);
        // A copy: a listener may remove itself (or another) while it handles the event.
        const QList<X11EventListener *> listeners = m_listeners;
        for (X11EventListener *listener : listeners)
            if (m_listeners.contains(listener))
                listener->x11Event(event);
    }
    if (!read)
        return;
    const QList<X11EventListener *> listeners = m_listeners;
    for (X11EventListener *listener : listeners)
        if (m_listeners.contains(listener))
            listener->x11EventsRead();
}

X11Connection::ErrorTrap::ErrorTrap(X11Connection &connection) : m_connection(connection)
{
    XSync(connection.m_display, False);
    if (trapDepth++ == 0) {
        trappedDisplay = connection.m_display;
        outerHandler = XSetErrorHandler(trapHandler);
    }
    m_errorBefore = trappedError;
    trappedError = 0;
}

int X11Connection::ErrorTrap::errorCode()
{
    if (!m_finished) {
        XSync(m_connection.m_display, False);
        m_errorCode = trappedError;
        m_finished = true;
    }
    return m_errorCode;
}

bool X11Connection::ErrorTrap::failed()
{
    return errorCode() != 0;
}

X11Connection::ErrorTrap::~ErrorTrap()
{
    errorCode();
    trappedError = m_errorBefore; // an inner trap has dealt with its own errors
    // Events that came in while we waited for the server.
    m_connection.scheduleReadIfQueued();
    if (--trapDepth == 0) {
        trappedDisplay = nullptr;
        trappedError = 0;
        XSetErrorHandler(outerHandler);
        outerHandler = nullptr;
    }
}

} // namespace sorvane
