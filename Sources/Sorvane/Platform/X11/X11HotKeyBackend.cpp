#include "Platform/X11/X11HotKeyBackend.h"

#include "Platform/VirtualKeyCodes.h"
#include "Platform/X11/X11KeyboardMap.h"

#include <QtGlobal>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>
#include <algorithm>

namespace sorvane {

namespace {

constexpr unsigned modifierBits = ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}

} // namespace

X11HotKeyBackend::X11HotKeyBackend(std::shared_ptr<X11Connection> connection, QObject *parent)
    : HotKeyBackend(parent)
{
    if (isWaylandSession()) {
        qCInfo(lcHotKeys) << "Wayland session: global shortcuts are not available";
        return;
    }
    if (!connection) {
        qCInfo(lcHotKeys) << "No X11 display: global shortcuts are not available";
        return;
    }
    m_x = std::move(connection);
    m_display = m_x->display();
    m_root = m_x->root();

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

    m_x->addEventListener(this);
    m_heldKeysPoll.setInterval(50);
    connect(&m_heldKeysPoll, &QTimer::timeout, this, &X11HotKeyBackend::forgetReleasedKeys);
}

int X11HotKeyBackend::keysDownSinceRegistration() const
{
    return int(std::count_if(m_pressed.cbegin(), m_pressed.cend(),
                             [](const Press &press) { return press.xModifiers == downBeforeGrab; }));
}

void X11HotKeyBackend::forgetReleasedKeys()
{
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    for (auto it = m_pressed.begin(); it != m_pressed.end();) {
        const unsigned code = it.key();
        const bool down = code < 256 && (keys[code / 8] & (1 << (code % 8))) != 0;
        if (it->xModifiers == downBeforeGrab && !down)
            it = m_pressed.erase(it);
        else
            ++it;
    }
    if (keysDownSinceRegistration() == 0)
        m_heldKeysPoll.stop();
}

X11HotKeyBackend::~X11HotKeyBackend()
{
    if (!m_x)
        return;
    m_x->removeEventListener(this);
    for (Grab &grab : m_grabs)
        ungrab(grab);
    XSync(m_display, False);
}

Result<HotKeyReference, HotKeyError> X11HotKeyBackend::registerHotKey(quint32 keyCode, HotKeyModifiers modifiers,
                                                                      quint32 id)
{
    if (!m_x)
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
    if (const auto held = m_pressed.find(xKeyCode); held != m_pressed.end()) {
        if (held->reference == 0 && held->xModifiers == xModifiers)
            held->reference = grab.reference;
    } else if (isKeyDown(xKeyCode)) {
        // A key that is down already (the keys of a shortcut just recorded are still
        // held): its auto-repeat would fire the new grab at once. Its presses count as
        // repeats until it is let go, and its release belongs to no hot key.
        m_pressed.insert(xKeyCode, Press{0, downBeforeGrab});
        m_heldKeysPoll.start();
    }
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

bool X11HotKeyBackend::isKeyDown(unsigned xKeyCode) const
{
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    return xKeyCode < 256 && (keys[xKeyCode / 8] & (1 << (xKeyCode % 8))) != 0;
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
    // Unshifted symbols first, so "1" finds the digit key rather than a keypad key.
    for (int level = 0; symbols && level < perKeyCode; ++level)
        for (int keyCode = m_minKeyCode; keyCode <= m_maxKeyCode; ++keyCode) {
            const KeySym symbol = symbols[(keyCode - m_minKeyCode) * perKeyCode + level];
            if (symbol != NoSymbol && !m_keyCodeBySymbol.contains(symbol))
                m_keyCodeBySymbol.insert(symbol, unsigned(keyCode));
        }

    if (symbols)
        XFree(symbols);
    const X11ModifierMasks masks = readModifierMasks(m_display);
    m_altMask = masks.alt;
    m_superMask = masks.super;
    m_numLockMask = masks.numLock;
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
    if (auto granted = grabMasks(xKeyCode, masks); !granted)
        return granted.error();
    return masks;
}

Result<Done, HotKeyError> X11HotKeyBackend::grabMasks(unsigned xKeyCode, const QList<unsigned> &masks)
{
    int errorCode = 0;
    {
        X11Connection::ErrorTrap trap(*m_x);
        for (unsigned mask : masks)
            XGrabKey(m_display, int(xKeyCode), mask, m_root, False, GrabModeAsync, GrabModeAsync);
        errorCode = trap.errorCode();
    }
    if (errorCode == 0)
        return Done{};
    // Some variants may have been granted: give them all back, so a refused
    // combination leaves nothing behind. Ungrabbing touches only our own grabs.
    ungrabMasks(xKeyCode, masks);
    if (errorCode == BadAccess)
        return HotKeyError(HotKeyError::Kind::TakenByAnotherClient);
    return HotKeyError(HotKeyError::Kind::UnknownKey);
}

void X11HotKeyBackend::ungrabMasks(unsigned xKeyCode, const QList<unsigned> &masks)
{
    if (masks.isEmpty())
        return;
    X11Connection::ErrorTrap trap(*m_x);
    for (unsigned mask : masks)
        XUngrabKey(m_display, int(xKeyCode), mask, m_root);
    (void)trap.failed();
}

void X11HotKeyBackend::ungrab(Grab &grab)
{
    ungrabMasks(grab.xKeyCode, grab.grabbedMasks);
    grab.grabbedMasks.clear();
}

void X11HotKeyBackend::regrabAll()
{
    // The server announces a new keyboard whenever input moves between devices (the
    // physical keyboard and the XTest device our own paste keys use), mostly with the
    // same keymap. Only grabs whose keys really moved are touched, and a new grab is
    // made before the old one is given back, so no press falls into a gap between them.
    // Keys that are down stay down: their releases still arrive (the server keeps the
    // keyboard with us until then) and must still end their presses.
    readKeyboardMapping();
    // A whole new keymap may also number its keys differently.
    m_evdevKeyCodes = checkEvdevKeyCodes();
    // First every new grab, then what is no longer used by any: two hot keys whose keys
    // trade places keep theirs.
    int moved = 0;
    QList<std::pair<unsigned, unsigned>> before; // (key code, mask) held until now
    for (const Grab &grab : std::as_const(m_grabs))
        for (unsigned mask : grab.grabbedMasks)
            before.append({grab.xKeyCode, mask});
    for (Grab &grab : m_grabs) {
        const unsigned xKeyCode = xKeyCodeFor(grab.keyCode);
        const unsigned xModifiers = xModifiersFor(grab.modifiers);
        const QList<unsigned> wanted = xKeyCode == 0 ? QList<unsigned>() : lockVariants(xModifiers);
        const bool sameKey = xKeyCode == grab.xKeyCode;
        if (sameKey && wanted == grab.grabbedMasks) {
            grab.xModifiers = xModifiers;
            continue;
        }
        ++moved;
        QList<unsigned> added;
        for (unsigned mask : wanted)
            if (!sameKey || !grab.grabbedMasks.contains(mask))
                added.append(mask);
        bool granted = xKeyCode != 0;
        if (granted && !added.isEmpty()) {
            if (auto result = grabMasks(xKeyCode, added); !result) {
                granted = false;
                qCInfo(lcHotKeys) << "Hot key" << grab.id
                                  << "lost after a keyboard change:" << result.error().message();
            }
        }
        // Keep the registration; if its keys are lost now it simply stays silent
        // until a later mapping change makes them available again.
        grab.xKeyCode = xKeyCode;
        grab.xModifiers = xModifiers;
        grab.grabbedMasks = granted ? wanted : QList<unsigned>();
    }
    // Give back what no grab uses any more: the old key's masks, or variants of the
    // same key that no longer apply (Num Lock moved).
    for (const auto &[keyCode, mask] : std::as_const(before)) {
        const bool stillUsed = std::any_of(m_grabs.begin(), m_grabs.end(), [&](const Grab &grab) {
            return grab.xKeyCode == keyCode && grab.grabbedMasks.contains(mask);
        });
        if (!stillUsed)
            ungrabMasks(keyCode, {mask});
    }
    Q_EMIT keyboardMappingChanged(moved);
}

void X11HotKeyBackend::x11Event(XEvent &event)
{
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
            if (next.type == KeyPress && next.xkey.keycode == event.xkey.keycode && next.xkey.time == event.xkey.time)
                break;
        }
        keyReleased(event.xkey.keycode);
        break;
    case MappingNotify:
        // The connection has refreshed Xlib's own tables already.
        if (event.xmapping.request == MappingKeyboard || event.xmapping.request == MappingModifier)
            m_mappingChanged = true;
        break;
    default:
        if (event.type == m_xkbEventBase) {
            const int kind = reinterpret_cast<const XkbAnyEvent &>(event).xkb_type;
            if (kind == XkbMapNotify || kind == XkbNewKeyboardNotify)
                m_mappingChanged = true;
        }
        break;
    }
}

void X11HotKeyBackend::x11EventsRead()
{
    if (std::exchange(m_mappingChanged, false))
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

std::unique_ptr<HotKeyBackend> createSystemHotKeyBackend(std::shared_ptr<X11Connection> connection)
{
    return std::make_unique<X11HotKeyBackend>(std::move(connection));
}

} // namespace sorvane
