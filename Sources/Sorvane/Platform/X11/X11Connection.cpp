#include "X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace sorvane {

namespace {

using ErrorHandler = int (*)(Display *, XErrorEvent *);

// Traps nest (everything here runs on the main thread); the outermost one installs
// the handler.
Display *trappedDisplay = nullptr;
bool trappedError = false;
int trapDepth = 0;
ErrorHandler outerHandler = nullptr;

int trapHandler(Display *display, XErrorEvent *event)
{
    if (display == trappedDisplay) {
        trappedError = true;
        return 0;
    }
    // Another connection's error (the toolkit's, the hot keys'): not ours to judge.
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

X11Connection::~X11Connection()
{
    XCloseDisplay(m_display);
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
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify)
            XRefreshKeyboardMapping(&event.xmapping);
    }
}

X11Connection::ErrorTrap::ErrorTrap(X11Connection &connection) : m_connection(connection)
{
    XSync(connection.m_display, False);
    if (trapDepth++ == 0) {
        trappedDisplay = connection.m_display;
        outerHandler = XSetErrorHandler(trapHandler);
    }
    m_errorBefore = trappedError;
    trappedError = false;
}

bool X11Connection::ErrorTrap::failed()
{
    if (!m_finished) {
        XSync(m_connection.m_display, False);
        m_failed = trappedError;
        m_finished = true;
    }
    return m_failed;
}

X11Connection::ErrorTrap::~ErrorTrap()
{
    failed();
    trappedError = m_errorBefore; // an inner trap has dealt with its own errors
    if (--trapDepth == 0) {
        trappedDisplay = nullptr;
        trappedError = false;
        XSetErrorHandler(outerHandler);
        outerHandler = nullptr;
    }
}

} // namespace sorvane
