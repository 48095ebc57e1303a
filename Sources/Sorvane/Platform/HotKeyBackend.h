#pragma once

#include "Support/Result.h"

#include <QFlags>
#include <QLoggingCategory>
#include <QObject>
#include <memory>

namespace sorvane {

Q_DECLARE_LOGGING_CATEGORY(lcHotKeys)

// The modifier bits of a hot key. The values are the ones stored shortcuts were
// designed around; each backend turns them into its own system's masks.
enum class HotKeyModifier : quint32 {
    Command = 0x0100, // Super
    Shift = 0x0200,
    Option = 0x0800, // Alt
    Control = 0x1000,
};
Q_DECLARE_FLAGS(HotKeyModifiers, HotKeyModifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(HotKeyModifiers)

enum class HotKeyEventKind { Pressed, Released };

// Why the system refused a hot key.
class HotKeyError {
public:
    enum class Kind {
        Unavailable,         // no X11 connection (a Wayland session, no display)
        UnknownKey,          // the key code names no key of this keyboard
        AlreadyRegistered,   // this program holds the same combination already
        TakenByAnotherClient // another program grabbed the combination first
    };

    HotKeyError(Kind kind) : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    QString message() const;
    friend bool operator==(const HotKeyError &, const HotKeyError &) = default;

private:
    Kind m_kind;
};

// A registration held by a backend; only meaningful to the backend that made it.
struct HotKeyReference {
    quint64 value = 0;
    friend bool operator==(const HotKeyReference &, const HotKeyReference &) = default;
};

// System-wide hot keys. A registered hot key reports its presses and releases
// with the identifier it was registered under. Presses of a key that is still
// down are not reported again, and a release belongs to the press of the same key
// whatever modifiers are still held by then.
class HotKeyBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual Result<HotKeyReference, HotKeyError> registerHotKey(quint32 keyCode, HotKeyModifiers modifiers,
                                                                quint32 id) = 0;
    // Unknown or already removed references are ignored.
    virtual void unregisterHotKey(HotKeyReference reference) = 0;

Q_SIGNALS:
    // Emitted while the backend reads the system's events.
    void hotKeyEvent(quint32 id, sorvane::HotKeyEventKind kind);
};

class X11Connection;

// The backend of this desktop session, on the program's X11 connection: X11 when there
// is an X11 session, else one that refuses every registration. Owned by the caller
// alone, so it has no parent.
std::unique_ptr<HotKeyBackend> createSystemHotKeyBackend(std::shared_ptr<X11Connection> connection);

} // namespace sorvane
