#include "Platform/X11/X11HotKeyBackend.h"

#include "Platform/VirtualKeyCodes.h"

#include <QSocketNotifier>
#include <QtGlobal>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>
#include <algorithm>

namespace sorvane {

namespace {

// Collects the errors of one display while it lives. Xlib's error handler is
// process-wide, so it is only swapped in around our own requests, and errors of
// other connections go on to the handler that was there before.
class ErrorTrap {
public:
    explicit ErrorTrap(Display *display) : m_display(display)
    {
        m_outer = s_active;
        s_active = this;
        m_previous = XSetErrorHandler(&ErrorTrap::handle);
        // Whatever an earlier request of ours left pending belongs to no caller.
        XSync(m_display, False);
        m_errorCode = 0;
    }
    ~ErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
        s_active = m_outer;
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

    // Waits until the server has handled every request so far; true when none failed.
    bool sync()
    {
        XSync(m_display, False);
        return m_errorCode == 0;
    }
    int errorCode() const { return m_errorCode; }

private:
    static int handle(Display *display, XErrorEvent *event)
    {
        for (ErrorTrap *trap = s_active; trap; trap = trap->m_outer) {
            if (trap->m_display == display) {
                if (trap->m_errorCode == 0)
                    trap->m_errorCode = event->error_code;
                return 0;
            }
        }
        return s_active && s_active->m_previous ? s_active->m_previous(display, event) : 0;
    }

    static inline ErrorTrap *s_active = nullptr;
    Display *m_display;
    ErrorTrap *m_outer = nullptr;
    XErrorHandler m_previous = nullptr;
    int m_errorCode = 0;
};

constexpr unsigned modifierBits = ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}

} // namespace

X11HotKeyBackend::X11HotKeyBackend(QObject *parent) : HotKeyBackend(parent)
{
    if (isWaylandSession()) {
        qCInfo(lcHotKeys) << "Wayland session: global shortcuts are not available";
        return;
    }
    m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        qCInfo(lcHotKeys) << "No X11 display: global shortcuts are not available";
        return;
    }
    m_root = DefaultRootWindow(m_display);

    int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(m_display, &opcode, &m_xkbEventBase, &error, &major, &minor)) {
        // Holding a key must send one press and one release, not a stream of both.
        Bool supported = False;
        XkbSetDetectableAutoRepeat(m_display, True, &supported);
        m_detectableAutoRepeat = supported;
        // With XKB in use the server announces mapping changes only to clients
        // that ask for them.
        const unsigned mapEvents = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
        XkbSelectEvents(m_display, XkbUseCoreKbd, mapEvents, mapEvents);
    } else {
        m_xkbEventBase = -1;
    }

    readKeyboardMapping();
    m_evdevKeyCodes = checkEvdevKeyCodes();
    if (!m_evdevKeyCodes)
        qCInfo(lcHotKeys) << "The X server does not use evdev key codes; keys are found by their symbols";

    m_notifier = new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11HotKeyBackend::readEvents);
    scheduleReadIfQueued();
}

X11HotKeyBackend::~X11HotKeyBackend()
{
    if (!m_display)
        return;
    delete m_notifier;
    for (Grab &grab : m_grabs)
        ungrab(grab);
    XCloseDisplay(m_display);
}

Result<HotKeyReference, HotKeyError> X11HotKeyBackend::registerHotKey(quint32 keyCode, HotKeyModifiers modifiers,
                                                                      quint32 id)
{
    if (!m_display)
        return HotKeyError(HotKeyError::Kind::Unavailable);
    const unsigned xKeyCode = xKeyCodeFor(keyCode);
    if (xKeyCode == 0)
        return HotKeyError(HotKeyError::Kind::UnknownKey);
    const unsigned xModifiers = xModifiersFor(modifiers);
    // The server lets a client grab the same combination twice; a second
    // registration would silently steal the first one's events.
    const bool held = std::any_of(m_grabs.begin(), m_grabs.end(), [&](const Grab &grab) {
        return grab.xKeyCode == xKeyCode && grab.xModifiers == xModifiers;
    });
    if (held)
        return HotKeyError(HotKeyError::Kind::AlreadyRegistered);

    auto masks = grabAllVariants(xKeyCode, xModifiers);
    if (!masks)
        return masks.error();
    Grab grab;
    grab.reference = m_nextReference++;
    grab.id = id;
    grab.keyCode = keyCode;
    grab.modifiers = modifiers;
    grab.xKeyCode = xKeyCode;
    grab.xModifiers = xModifiers;
    grab.grabbedMasks = std::move(masks).value();
    m_grabs.push_back(grab);
    // A key still held from a registration of the same combination that went
    // away: its release now ends the press under the new registration.
    if (const auto held = m_pressed.find(xKeyCode);
        held != m_pressed.end() && held->reference == 0 && held->xModifiers == xModifiers)
        held->reference = grab.reference;
    return HotKeyReference{grab.reference};
}

void X11HotKeyBackend::unregisterHotKey(HotKeyReference reference)
{
    const auto it = std::find_if(m_grabs.begin(), m_grabs.end(),
                                 [&](const Grab &grab) { return grab.reference == reference.value; });
    if (it == m_grabs.end())
        return;
    ungrab(*it);
    m_grabs.erase(it);
    // A key held down while its hot key goes away keeps its press: the release
    // still arrives (the server keeps the keyboard with us until then), and belongs
    // to the same combination if it is registered again meanwhile, as a refresh
    // of every shortcut does. Without that it reports nothing.
    for (Press &press : m_pressed)
        if (press.reference == reference.value)
            press.reference = 0;
}

void X11HotKeyBackend::readKeyboardMapping()
{
    XDisplayKeycodes(m_display, &m_minKeyCode, &m_maxKeyCode);
    const int count = m_maxKeyCode - m_minKeyCode + 1;
    int perKeyCode = 0;
    KeySym *symbols = XGetKeyboardMapping(m_display, static_cast<KeyCode>(m_minKeyCode), count, &perKeyCode);

    // Read straight from the server rather than from Xlib's caches, so a mapping
    // change is seen the moment it is announced.
    m_keyCodeBySymbol.clear();
    auto symbolsOf = [&](unsigned keyCode) {
        QList<KeySym> list;
        if (!symbols || keyCode < unsigned(m_minKeyCode) || keyCode > unsigned(m_maxKeyCode))
            return list;
        const KeySym *first = symbols + (keyCode - m_minKeyCode) * perKeyCode;
        for (int level = 0; level < perKeyCode; ++level)
            if (first[level] != NoSymbol)
                list.append(first[level]);
        return list;
    };
    // Unshifted symbols first, so "1" finds the digit key rather than a keypad key.
    for (int level = 0; symbols && level < perKeyCode; ++level)
        for (int keyCode = m_minKeyCode; keyCode <= m_maxKeyCode; ++keyCode) {
            const KeySym symbol = symbols[(keyCode - m_minKeyCode) * perKeyCode + level];
            if (symbol != NoSymbol && !m_keyCodeBySymbol.contains(symbol))
                m_keyCodeBySymbol.insert(symbol, unsigned(keyCode));
        }

    m_altMask = m_superMask = m_numLockMask = 0;
    if (XModifierKeymap *map = XGetModifierMapping(m_display)) {
        // Only Mod1..Mod5 can carry Alt, Super or Num Lock.
        for (int index = Mod1MapIndex; index <= Mod5MapIndex; ++index) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                const KeyCode keyCode = map->modifiermap[index * map->max_keypermod + k];
                if (keyCode == 0)
                    continue;
                for (KeySym symbol : symbolsOf(keyCode)) {
                    if (symbol == XK_Num_Lock)
                        m_numLockMask |= 1u << index;
                    else if (symbol == XK_Alt_L || symbol == XK_Alt_R)
                        m_altMask |= 1u << index;
                    else if (symbol == XK_Super_L || symbol == XK_Super_R)
                        m_superMask |= 1u << index;
                }
            }
        }
        XFreeModifiermap(map);
    }
    if (symbols)
        XFree(symbols);
    // Where the mapping names no Alt or Super key, use the usual modifiers.
    if (m_altMask == 0)
        m_altMask = Mod1Mask;
    if (m_superMask == 0)
        m_superMask = Mod4Mask;
}

bool X11HotKeyBackend::checkEvdevKeyCodes() const
{
    if (m_xkbEventBase >= 0) {
        if (XkbDescPtr description = XkbAllocKeyboard()) {
            QByteArray keyCodesName;
            if (XkbGetNames(m_display, XkbKeycodesNameMask, description) == Success && description->names
                && description->names->keycodes) {
                if (char *name = XGetAtomName(m_display, description->names->keycodes)) {
                    keyCodesName = name;
                    XFree(name);
                }
            }
            XkbFreeKeyboard(description, 0, True);
            if (!keyCodesName.isEmpty())
                return keyCodesName.startsWith("evdev");
        }
    }
    // No name to go by: keys that no layout moves must sit where evdev puts them.
    const std::pair<KeySym, unsigned> landmarks[] = {
        {XK_Escape, 9}, {XK_space, 65}, {XK_F1, 67}, {XK_Home, 110}, {XK_Up, 111}, {XK_Left, 113}};
    return std::all_of(std::begin(landmarks), std::end(landmarks), [this](const auto &landmark) {
        return m_keyCodeBySymbol.value(landmark.first) == landmark.second;
    });
}

unsigned X11HotKeyBackend::xKeyCodeFor(quint32 keyCode) const
{
    unsigned xKeyCode = 0;
    if (keyCode >= rawXKeyCodeBase) {
        xKeyCode = keyCode - rawXKeyCodeBase;
    } else if (const VirtualKey *key = virtualKeyByCode(keyCode)) {
        xKeyCode = m_evdevKeyCodes ? key->evdevKeyCode : m_keyCodeBySymbol.value(key->keySym, 0);
    }
    if (xKeyCode < unsigned(m_minKeyCode) || xKeyCode > unsigned(m_maxKeyCode))
        return 0;
    return xKeyCode;
}

unsigned X11HotKeyBackend::xModifiersFor(HotKeyModifiers modifiers) const
{
    unsigned mask = 0;
    if (modifiers.testFlag(HotKeyModifier::Shift))
        mask |= ShiftMask;
    if (modifiers.testFlag(HotKeyModifier::Control))
        mask |= ControlMask;
    if (modifiers.testFlag(HotKeyModifier::Option))
        mask |= m_altMask;
    if (modifiers.testFlag(HotKeyModifier::Command))
        mask |= m_superMask;
    return mask;
}

QList<unsigned> X11HotKeyBackend::lockVariants(unsigned xModifiers) const
{
    QList<unsigned> masks;
    for (unsigned locks : {0u, unsigned(LockMask), m_numLockMask, LockMask | m_numLockMask}) {
        const unsigned mask = xModifiers | locks;
        if (!masks.contains(mask))
            masks.append(mask);
    }
    return masks;
}

Result<QList<unsigned>, HotKeyError> X11HotKeyBackend::grabAllVariants(unsigned xKeyCode, unsigned xModifiers)
{
    const QList<unsigned> masks = lockVariants(xModifiers);
    ErrorTrap trap(m_display);
    for (unsigned mask : masks)
        XGrabKey(m_display, int(xKeyCode), mask, m_root, False, GrabModeAsync, GrabModeAsync);
    if (trap.sync()) {
        scheduleReadIfQueued();
        return masks;
    }
    const int errorCode = trap.errorCode();
    // Some variants may have been granted: give them all back, so a refused
    // combination leaves nothing behind. Ungrabbing touches only our own grabs.
    for (unsigned mask : masks)
        XUngrabKey(m_display, int(xKeyCode), mask, m_root);
    trap.sync();
    scheduleReadIfQueued();
    if (errorCode == BadAccess)
        return HotKeyError(HotKeyError::Kind::TakenByAnotherClient);
    return HotKeyError(HotKeyError::Kind::UnknownKey);
}

void X11HotKeyBackend::ungrab(Grab &grab)
{
    if (grab.grabbedMasks.isEmpty())
        return;
    ErrorTrap trap(m_display);
    for (unsigned mask : std::as_const(grab.grabbedMasks))
        XUngrabKey(m_display, int(grab.xKeyCode), mask, m_root);
    trap.sync();
    grab.grabbedMasks.clear();
    scheduleReadIfQueued();
}

void X11HotKeyBackend::regrabAll()
{
    // Keys that are down stay down: their releases still arrive (the server keeps
    // the keyboard with us until then) and must still end their presses.
    for (Grab &grab : m_grabs)
        ungrab(grab);
    readKeyboardMapping();
    // A whole new keymap may also number its keys differently.
    m_evdevKeyCodes = checkEvdevKeyCodes();
    for (Grab &grab : m_grabs) {
        grab.xKeyCode = xKeyCodeFor(grab.keyCode);
        grab.xModifiers = xModifiersFor(grab.modifiers);
        if (grab.xKeyCode == 0)
            continue;
        // Keep the registration; if its keys are lost now it simply stays silent
        // until a later mapping change makes them available again.
        if (auto masks = grabAllVariants(grab.xKeyCode, grab.xModifiers))
            grab.grabbedMasks = std::move(masks).value();
        else
            qCInfo(lcHotKeys) << "Hot key" << grab.id << "lost after a keyboard change:" << masks.error().message();
    }
    Q_EMIT keyboardMappingChanged();
}

void X11HotKeyBackend::scheduleReadIfQueued()
{
    // Xlib may have read events off the socket while waiting for a reply; the
    // socket notifier will not announce those.
    if (m_readScheduled || XQLength(m_display) == 0)
        return;
    m_readScheduled = true;
    QMetaObject::invokeMethod(this, &X11HotKeyBackend::readEvents, Qt::QueuedConnection);
}

void X11HotKeyBackend::readEvents()
{
    m_readScheduled = false;
    bool mappingChanged = false;
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        switch (event.type) {
        case KeyPress:
            keyPressed(event.xkey.keycode, event.xkey.state);
            break;
        case KeyRelease:
            // Without detectable auto-repeat a held key sends release/press pairs
            // with the same time stamp: skip the release, the press is then a repeat.
            if (!m_detectableAutoRepeat && XEventsQueued(m_display, QueuedAfterReading) > 0) {
                XEvent next;
                XPeekEvent(m_display, &next);
                if (next.type == KeyPress && next.xkey.keycode == event.xkey.keycode
                    && next.xkey.time == event.xkey.time)
                    break;
            }
            keyReleased(event.xkey.keycode);
            break;
        case MappingNotify:
            if (event.xmapping.request == MappingKeyboard || event.xmapping.request == MappingModifier) {
                XRefreshKeyboardMapping(&event.xmapping);
                mappingChanged = true;
            }
            break;
        default:
            if (event.type == m_xkbEventBase) {
                const int kind = reinterpret_cast<const XkbAnyEvent &>(event).xkb_type;
                if (kind == XkbMapNotify || kind == XkbNewKeyboardNotify)
                    mappingChanged = true;
            }
            break;
        }
    }
    // Changes come in bursts; grab again once for all of them.
    if (mappingChanged)
        regrabAll();
}

void X11HotKeyBackend::keyPressed(unsigned xKeyCode, unsigned state)
{
    // A key already down is repeating.
    if (m_pressed.contains(xKeyCode))
        return;
    const unsigned modifiers = state & modifierBits & ~(unsigned(LockMask) | m_numLockMask);
    const auto it = std::find_if(m_grabs.begin(), m_grabs.end(), [&](const Grab &grab) {
        return !grab.grabbedMasks.isEmpty() && grab.xKeyCode == xKeyCode && grab.xModifiers == modifiers;
    });
    // Other keys reach us while one of ours is held (the server hands us the
    // keyboard until it is released); they are not ours to report.
    if (it == m_grabs.end())
        return;
    m_pressed.insert(xKeyCode, Press{it->reference, it->xModifiers});
    Q_EMIT hotKeyEvent(it->id, HotKeyEventKind::Pressed);
}

void X11HotKeyBackend::keyReleased(unsigned xKeyCode)
{
    // Matched by the key alone: the modifiers are often let go first.
    const auto pressed = m_pressed.constFind(xKeyCode);
    if (pressed == m_pressed.constEnd())
        return;
    const quint64 reference = pressed->reference;
    m_pressed.erase(pressed);
    if (reference == 0)
        return;
    const auto it = std::find_if(m_grabs.begin(), m_grabs.end(),
                                 [&](const Grab &grab) { return grab.reference == reference; });
    if (it != m_grabs.end())
        Q_EMIT hotKeyEvent(it->id, HotKeyEventKind::Released);
}

std::unique_ptr<HotKeyBackend> createSystemHotKeyBackend()
{
    return std::make_unique<X11HotKeyBackend>();
}

} // namespace sorvane
