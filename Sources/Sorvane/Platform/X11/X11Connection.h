#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;
class QSocketNotifier;

namespace sorvane {

// Something that reads the events of our connection (the hot keys).
class X11EventListener {
public:
    virtual ~X11EventListener() = default;
    // One event, in the order the server sent them; the ones after it may still be
    // peeked at in the queue.
    virtual void x11Event(XEvent &event) = 0;
    // Every queued event has been handed out.
    virtual void x11EventsRead() {}
};

// The program's one Xlib connection, independent of the toolkit's: window properties,
// activation, synthetic keys and hot-key grabs all go through it, and its error trap is
// the only Xlib error handler the program installs. Main thread only.
class X11Connection {
public:
    // Absent when there is no X display.
    static std::shared_ptr<X11Connection> open();
    ~X11Connection();
    X11Connection(const X11Connection &) = delete;
    X11Connection &operator=(const X11Connection &) = delete;

    Display *display() const { return m_display; }
    unsigned long root() const;
    unsigned long atom(const char *name);

    // Window properties; absent when the window or the property is not there.
    std::optional<QList<quint64>> cardinals(unsigned long window, const char *property, unsigned long type);
    std::optional<QByteArray> bytes(unsigned long window, const char *property);

    // Reads every queued event: keyboard mapping changes are answered here, and every
    // event goes to the listeners. Also runs by itself whenever events arrive.
    void processPendingEvents();
    // The listener must stay until it is removed.
    void addEventListener(X11EventListener *listener);
    void removeEventListener(X11EventListener *listener);
    // Xlib may have taken events off the socket while waiting for a reply, which the
    // socket does not announce: reads them on the next turn of the event loop.
    void scheduleReadIfQueued();

    // Runs requests with X errors caught instead of ending the program; errors of a
    // window that vanished meanwhile are expected. True when no error happened.
    class ErrorTrap {
    public:
        explicit ErrorTrap(X11Connection &connection);
        ~ErrorTrap();
        ErrorTrap(const ErrorTrap &) = delete;
        ErrorTrap &operator=(const ErrorTrap &) = delete;
        // Waits until the server has handled every request made in the trap.
        bool failed();
        // The X error code of the first request that failed, 0 when none did.
        int errorCode();

    private:
        X11Connection &m_connection;
        int m_errorBefore = 0;
        bool m_finished = false;
        int m_errorCode = 0;
    };

private:
    explicit X11Connection(Display *display);
    Display *m_display;
    QHash<QByteArray, unsigned long> m_atoms;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QList<X11EventListener *> m_listeners;
    bool m_readScheduled = false;
};

} // namespace sorvane
