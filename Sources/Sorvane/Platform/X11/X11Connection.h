#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

typedef struct _XDisplay Display;

namespace sorvane {

// Our own Xlib connection for the capture services (window properties, activation,
// synthetic keys), independent of the toolkit's connection. Main thread only.
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

    // Reads queued events we never asked for but must answer (keyboard mapping changes).
    void processPendingEvents();

    // Runs requests with X errors caught instead of ending the program; errors of a
    // window that vanished meanwhile are expected. True when no error happened.
    class ErrorTrap {
    public:
        explicit ErrorTrap(X11Connection &connection);
        ~ErrorTrap();
        bool failed();

    private:
        X11Connection &m_connection;
        bool m_errorBefore = false;
        bool m_finished = false;
        bool m_failed = false;
    };

private:
    explicit X11Connection(Display *display) : m_display(display) {}
    Display *m_display;
    QHash<QByteArray, unsigned long> m_atoms;
};

} // namespace sorvane
