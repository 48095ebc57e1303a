#pragma once

#include "Shared/KeyboardShortcutSetting.h"

#include <QString>

namespace sorvane {

// One key press seen by the shortcut recorder, in the X server's terms.
struct ShortcutKeyPress {
    quint32 xKeyCode = 0;
    quint32 xModifiers = 0;  // the event's state
    quint32 baseKeySym = 0;  // the key's symbol in the first group at its base level
    bool autoRepeat = false;
};

// The server's masks for the modifiers that are not fixed bits (X11KeyboardMap.h).
struct ShortcutModifierMasks {
    quint32 alt = 0x08;
    quint32 super = 0x40;
    quint32 altGr = 0x80;
};

// What the recorder does with one press.
struct ShortcutKeyOutcome {
    enum class Kind {
        Ignore, // auto-repeat, or a modifier key alone: nothing happens
        Refuse, // beep, show the hint, keep capturing
        Record, // store the shortcut and stop
    };
    Kind kind = Kind::Ignore;
    QString hint;
    KeyboardShortcutSetting shortcut;
};

namespace shortcutrecording {

inline const QString addModifierHint = QStringLiteral("Add Super, Alt, Ctrl, or Shift");
inline const QString altGrHint = QStringLiteral("AltGr cannot be part of a shortcut");
// When a capture sees nothing at all, the combination is most likely taken before it
// reaches any window.
inline const QString nothingSeenHint =
    QStringLiteral("Nothing arrived: the window manager may keep this combination. Try another.");

// The label of a stored key: the fixed names ("Space", "Esc", "←" …), else the key's
// character upper-cased, else "Key " and the stored code.
QString keyLabel(quint32 storedKeyCode, quint32 baseKeySym);

// The character a key symbol types, or an empty text for one that types none.
QString keySymbolText(quint32 keySym);

ShortcutKeyOutcome interpret(const ShortcutKeyPress &press, const ShortcutModifierMasks &masks,
                             bool requiresModifier);

} // namespace shortcutrecording

} // namespace sorvane
