#include "XTestKeystrokeSender.h"
#include "X11Connection.h"

#include <QCoroTimer>
#include <QElapsedTimer>
#include <QSet>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace sorvane {

namespace {

constexpr std::chrono::milliseconds keyStatePoll{10};

QSet<KeyCode> modifierKeyCodes(Display *display)
{
    QSet<KeyCode> codes;
    XModifierKeymap *map = XGetModifierMapping(display);
    if (!map)
        return codes;
    for (int i = 0; i < 8 * map->max_keypermod; ++i)
        if (map->modifiermap[i] != 0)
            codes.insert(map->modifiermap[i]);
    XFreeModifiermap(map);
    return codes;
}

QList<KeyCode> keysDown(Display *display)
{
    char keys[32];
    XQueryKeymap(display, keys);
    QList<KeyCode> down;
    for (int code = 8; code < 256; ++code)
        if (keys[code / 8] & (1 << (code % 8)))
            down.append(KeyCode(code));
    return down;
}

} // namespace

XTestKeystrokeSender::XTestKeystrokeSender(std::shared_ptr<X11Connection> connection) : m_x(std::move(connection)) {}

bool XTestKeystrokeSender::isAvailable()
{
    if (!m_x)
        return false;
    int event = 0, error = 0, major = 0, minor = 0;
    return XTestQueryExtension(m_x->display(), &event, &error, &major, &minor);
}

QCoro::Task<bool> XTestKeystrokeSender::send(KeyChord chord)
{
    if (!isAvailable())
        co_return false;
    Display *display = m_x->display();
    m_x->processPendingEvents();
    const KeySym keysym = XStringToKeysym(chord.key.toLatin1().constData());
    const KeyCode key = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
    if (key == 0)
        co_return false;

    // The shortcut that started us may still be held; while it is, its grab would take
    // our keystroke. Wait for every key but the modifiers to come up.
    QElapsedTimer waited;
    waited.start();
    QSet<KeyCode> modifiers = modifierKeyCodes(display);
    for (;;) {
        bool held = false;
        for (KeyCode code : keysDown(display))
            held = held || !modifiers.contains(code);
        if (!held)
            break;
        if (waited.elapsed() >= keyReleaseWait.count())
            co_return false;
        co_await QCoro::sleepFor(keyStatePoll);
        m_x->processPendingEvents();
        modifiers = modifierKeyCodes(display);
    }

    X11Connection::ErrorTrap trap(*m_x);
    // Modifiers the user still holds would join our chord (Ctrl+Alt+V is no paste).
    for (KeyCode code : keysDown(display))
        if (modifiers.contains(code))
            XTestFakeKeyEvent(display, code, False, CurrentTime);

    QList<KeyCode> held;
    const auto press = [&](KeySym symbol) {
        const KeyCode code = XKeysymToKeycode(display, symbol);
        if (code == 0)
            return false;
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        held.prepend(code);
        return true;
    };
    bool complete = true;
    if (chord.control)
        complete = press(XK_Control_L) && complete;
    if (chord.shift)
        complete = press(XK_Shift_L) && complete;
    if (chord.alt)
        complete = press(XK_Alt_L) && complete;
    if (complete) {
        XTestFakeKeyEvent(display, key, True, CurrentTime);
        XTestFakeKeyEvent(display, key, False, CurrentTime);
    }
    for (KeyCode code : held)
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
    co_return complete && !trap.failed();
}

} // namespace sorvane
