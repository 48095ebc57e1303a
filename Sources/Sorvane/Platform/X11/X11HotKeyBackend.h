#pragma once

#include "Platform/HotKeyBackend.h"
#include "Platform/X11/X11Connection.h"

#include <QHash>
#include <QList>
#include <QTimer>
#include <vector>


namespace sorvane {

// Hot keys as passive key grabs on the root window, over the program's own X11
// connection (not Qt's), read on the main thread. Every Caps Lock / Num Lock variant of a
// combination is grabbed so that the locks do not matter; a combination another
// client holds is refused as a whole. The grabs follow changes of the keyboard
// and modifier mappings.
class X11HotKeyBackend final : public HotKeyBackend, private X11EventListener {
    Q_OBJECT
public:
    // Every registration is refused without a connection, and in a Wayland session,
    // where X11 grabs would only see keys typed into X11 windows.
    explicit X11HotKeyBackend(std::shared_ptr<X11Connection> connection, QObject *parent = nullptr);
    ~X11HotKeyBackend() override;

    bool isConnected() const { return m_x != nullptr; }
    // Whether the server numbers its keys the evdev way, as the key table expects
    // (checked at start and whenever a new keymap is loaded);
    // otherwise keys are found through their symbols.
    bool usesEvdevKeyCodes() const { return m_evdevKeyCodes; }
    // Keys that were already down when a hot key on them was registered, until they are
    // seen up.
    int keysDownSinceRegistration() const;

    Result<HotKeyReference, HotKeyError> registerHotKey(quint32 keyCode, HotKeyModifiers modifiers,
                                                        quint32 id) override;
    void unregisterHotKey(HotKeyReference reference) override;

Q_SIGNALS:
    // The keyboard or modifier mapping changed; the hot keys whose keys moved (`moved`
    // of them) were grabbed anew, the others were left alone.
    void keyboardMappingChanged(int moved);

private:
    struct Grab {
        quint64 reference = 0;
        quint32 id = 0;
        quint32 keyCode = 0;
        HotKeyModifiers modifiers;
        unsigned xKeyCode = 0;
        unsigned xModifiers = 0;
        // The modifier masks actually grabbed; empty when the grab was lost after a mapping change.
        QList<unsigned> grabbedMasks;
    };

    void readKeyboardMapping();
    bool checkEvdevKeyCodes() const;
    unsigned xKeyCodeFor(quint32 keyCode) const;
    unsigned xModifiersFor(HotKeyModifiers modifiers) const;
    QList<unsigned> lockVariants(unsigned xModifiers) const;
    Result<QList<unsigned>, HotKeyError> grabAllVariants(unsigned xKeyCode, unsigned xModifiers);
    // Grabs every mask given, or none of them.
    Result<Done, HotKeyError> grabMasks(unsigned xKeyCode, const QList<unsigned> &masks);
    void ungrabMasks(unsigned xKeyCode, const QList<unsigned> &masks);
    bool isKeyDown(unsigned xKeyCode) const;
    void ungrab(Grab &grab);
    void regrabAll();

    void x11Event(XEvent &event) override;
    void x11EventsRead() override;
    void keyPressed(unsigned xKeyCode, unsigned state);
    void keyReleased(unsigned xKeyCode);

    std::shared_ptr<X11Connection> m_x;
    Display *m_display = nullptr;
    unsigned long m_root = 0;
    bool m_evdevKeyCodes = false;
    bool m_detectableAutoRepeat = false;
    int m_xkbEventBase = -1;
    // Mapping changes come in bursts; the keys are grabbed anew once for all of them.
    bool m_mappingChanged = false;

    int m_minKeyCode = 8;
    int m_maxKeyCode = 255;
    // The lowest key code that produces each symbol, from the server's current mapping.
    QHash<quint32, unsigned> m_keyCodeBySymbol;
    unsigned m_altMask = 0;
    unsigned m_superMask = 0;
    unsigned m_numLockMask = 0;

    // A grabbed key that is down, with the registration its press matched; the
    // reference is 0 while that registration is gone, until the same combination
    // is registered again (a refresh while the key is held), and for a key that was
    // already down when its hot key was registered.
    struct Press {
        quint64 reference = 0;
        unsigned xModifiers = 0;
    };

    std::vector<Grab> m_grabs;
    // X key code of each grabbed key that is down.
    QHash<unsigned, Press> m_pressed;
    quint64 m_nextReference = 1;
    // A key down before its grab is released to the window that had it, not to us: it is
    // looked at until it is up.
    static constexpr unsigned downBeforeGrab = ~0u;
    QTimer m_heldKeysPoll;
    void forgetReleasedKeys();
};

} // namespace sorvane
