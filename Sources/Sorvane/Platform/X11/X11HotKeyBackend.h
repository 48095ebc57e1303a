#pragma once

#include "Platform/HotKeyBackend.h"

#include <QHash>
#include <QList>
#include <vector>

struct _XDisplay;
class QSocketNotifier;

namespace sorvane {

// Hot keys as passive key grabs on the root window, over a connection of our own
// (not Qt's), read on the main thread. Every Caps Lock / Num Lock variant of a
// combination is grabbed so that the locks do not matter; a combination another
// client holds is refused as a whole. The grabs follow changes of the keyboard
// and modifier mappings.
class X11HotKeyBackend final : public HotKeyBackend {
    Q_OBJECT
public:
    // Connects to $DISPLAY, except in a Wayland session, where X11 grabs would only
    // see keys typed into X11 windows: there every registration is refused.
    explicit X11HotKeyBackend(QObject *parent = nullptr);
    ~X11HotKeyBackend() override;

    bool isConnected() const { return m_display != nullptr; }
    // Whether the server numbers its keys the evdev way, as the key table expects
    // (checked at start and whenever a new keymap is loaded);
    // otherwise keys are found through their symbols.
    bool usesEvdevKeyCodes() const { return m_evdevKeyCodes; }

    Result<HotKeyReference, HotKeyError> registerHotKey(quint32 keyCode, HotKeyModifiers modifiers,
                                                        quint32 id) override;
    void unregisterHotKey(HotKeyReference reference) override;

Q_SIGNALS:
    // The keyboard or modifier mapping changed and every hot key was grabbed anew.
    void keyboardMappingChanged();

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
    void ungrab(Grab &grab);
    void regrabAll();

    void readEvents();
    void scheduleReadIfQueued();
    void keyPressed(unsigned xKeyCode, unsigned state);
    void keyReleased(unsigned xKeyCode);

    _XDisplay *m_display = nullptr;
    unsigned long m_root = 0;
    QSocketNotifier *m_notifier = nullptr;
    bool m_evdevKeyCodes = false;
    bool m_detectableAutoRepeat = false;
    int m_xkbEventBase = -1;
    bool m_readScheduled = false;

    int m_minKeyCode = 8;
    int m_maxKeyCode = 255;
    // The lowest key code that produces each symbol, from the server's current mapping.
    QHash<quint32, unsigned> m_keyCodeBySymbol;
    unsigned m_altMask = 0;
    unsigned m_superMask = 0;
    unsigned m_numLockMask = 0;

    // A grabbed key that is down, with the registration its press matched; the
    // reference is 0 while that registration is gone, until the same combination
    // is registered again (a refresh while the key is held).
    struct Press {
        quint64 reference = 0;
        unsigned xModifiers = 0;
    };

    std::vector<Grab> m_grabs;
    // X key code of each grabbed key that is down.
    QHash<unsigned, Press> m_pressed;
    quint64 m_nextReference = 1;
};

} // namespace sorvane
