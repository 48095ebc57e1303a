#pragma once

#include <QCoroTask>
#include <QString>
#include <optional>

namespace sorvane {

// A key with the modifiers held for it. `key` is the X keysym name ("c", "v", "Insert").
struct KeyChord {
    QString key;
    bool control = false;
    bool shift = false;
    bool alt = false;
    friend bool operator==(const KeyChord &, const KeyChord &) = default;
};

enum class StandardShortcut { Copy, Paste };

// The copy or paste keystroke for a window, by its class (WM_CLASS class or
// instance, either may match). Terminals copy and paste with Ctrl+Shift+C/V, because
// a bare Ctrl+C would interrupt the program running in them. Terminals that have no
// clipboard keystroke at all (xterm and its kin) get no copy keystroke, and paste with
// Shift+Insert, which inserts the PRIMARY selection (see pastesPrimarySelection).
std::optional<KeyChord> standardShortcut(StandardShortcut shortcut, const QString &windowClass,
                                         const QString &windowInstance);

// Whether the window's paste keystroke inserts the PRIMARY selection rather than the
// clipboard: the text to paste must then be put on PRIMARY as well.
bool pastesPrimarySelection(const QString &windowClass, const QString &windowInstance);

// The keystroke with which the user pastes the clipboard into the window, as it is
// shown ("Ctrl+V", "Ctrl+Shift+V"); absent where no keystroke pastes the clipboard.
std::optional<QString> clipboardPasteKeyName(const QString &windowClass, const QString &windowInstance);

// A chord as it is shown: "Ctrl+", "Alt+", "Shift+" in that order, then the key
// (a single letter in capitals).
QString displayName(const KeyChord &chord);

class KeystrokeSender {
public:
    virtual ~KeystrokeSender() = default;

    // Whether synthetic keystrokes can be sent at all.
    virtual bool isAvailable() = 0;

    // Posts the chord to whatever window has keyboard focus. It first waits (bounded)
    // until the user has let go of every key but modifiers (a shortcut still held keeps
    // the keyboard grabbed and would swallow the keystroke) and releases the modifiers
    // still held. False when nothing was posted.
    virtual QCoro::Task<bool> send(KeyChord chord) = 0;
};

} // namespace sorvane
