#include "Keystrokes.h"

#include <QSet>

namespace sorvane {

namespace {

// Ordinary: Ctrl+C/V. TerminalKeys: Ctrl+Shift+C/V. PrimarySelection: no copy keystroke;
// Shift+Insert pastes PRIMARY.
enum class ClipboardKeys { Ordinary, TerminalKeys, PrimarySelection };

// Window classes (lower case) of terminals. Everything else copies with Ctrl+C.
ClipboardKeys clipboardKeysFor(const QString &name)
{
    static const QSet<QString> terminals = {
        QStringLiteral("gnome-terminal"), QStringLiteral("gnome-terminal-server"), QStringLiteral("org.gnome.terminal"),
        QStringLiteral("org.gnome.console"), QStringLiteral("kgx"), QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("ptyxis"), QStringLiteral("konsole"), QStringLiteral("org.kde.konsole"),
        QStringLiteral("yakuake"), QStringLiteral("xfce4-terminal"), QStringLiteral("mate-terminal"),
        QStringLiteral("lxterminal"), QStringLiteral("qterminal"), QStringLiteral("terminator"),
        QStringLiteral("tilix"), QStringLiteral("com.gexperts.tilix"), QStringLiteral("guake"),
        QStringLiteral("tilda"), QStringLiteral("sakura"), QStringLiteral("terminology"),
        QStringLiteral("alacritty"), QStringLiteral("kitty"), QStringLiteral("wezterm"),
        QStringLiteral("org.wezfurlong.wezterm"), QStringLiteral("st"), QStringLiteral("st-256color"),
        QStringLiteral("foot"), QStringLiteral("deepin-terminal"), QStringLiteral("cool-retro-term"),
        QStringLiteral("roxterm"), QStringLiteral("termite"), QStringLiteral("contour"),
        QStringLiteral("com.raggesilver.blackbox"), QStringLiteral("hyper"), QStringLiteral("tabby"),
        QStringLiteral("warp"), QStringLiteral("cosmic-term"), QStringLiteral("x-terminal-emulator")};
    // These put a selection on the primary selection by themselves and answer
    // Ctrl+Shift+C like Ctrl+C (an interrupt): no copy keystroke is safe. Their default
    // Shift+Insert inserts PRIMARY.
    static const QSet<QString> withoutClipboardKeys = {
        QStringLiteral("xterm"), QStringLiteral("uxterm"), QStringLiteral("rxvt"), QStringLiteral("urxvt"),
        QStringLiteral("rxvt-unicode"), QStringLiteral("urxvt-256color"), QStringLiteral("aterm"),
        QStringLiteral("eterm"), QStringLiteral("mlterm")};
    const QString key = name.toLower();
    if (withoutClipboardKeys.contains(key))
        return ClipboardKeys::PrimarySelection;
    if (terminals.contains(key))
        return ClipboardKeys::TerminalKeys;
    return ClipboardKeys::Ordinary;
}

ClipboardKeys clipboardKeysFor(const QString &windowClass, const QString &windowInstance)
{
    const ClipboardKeys keys = clipboardKeysFor(windowClass);
    return keys == ClipboardKeys::Ordinary ? clipboardKeysFor(windowInstance) : keys;
}

} // namespace

std::optional<KeyChord> standardShortcut(StandardShortcut shortcut, const QString &windowClass,
                                         const QString &windowInstance)
{
    const ClipboardKeys keys = clipboardKeysFor(windowClass, windowInstance);
    if (keys == ClipboardKeys::PrimarySelection) {
        if (shortcut == StandardShortcut::Copy)
            return std::nullopt;
        KeyChord insert;
        insert.key = QStringLiteral("Insert");
        insert.shift = true;
        return insert;
    }
    KeyChord chord;
    chord.key = shortcut == StandardShortcut::Copy ? QStringLiteral("c") : QStringLiteral("v");
    chord.control = true;
    chord.shift = keys == ClipboardKeys::TerminalKeys;
    return chord;
}

bool pastesPrimarySelection(const QString &windowClass, const QString &windowInstance)
{
    return clipboardKeysFor(windowClass, windowInstance) == ClipboardKeys::PrimarySelection;
}

std::optional<QString> clipboardPasteKeyName(const QString &windowClass, const QString &windowInstance)
{
    if (pastesPrimarySelection(windowClass, windowInstance))
        return std::nullopt;
    const auto chord = standardShortcut(StandardShortcut::Paste, windowClass, windowInstance);
    return chord ? std::optional(displayName(*chord)) : std::nullopt;
}

QString displayName(const KeyChord &chord)
{
    QString name;
    if (chord.control)
        name += QStringLiteral("Ctrl+");
    if (chord.alt)
        name += QStringLiteral("Alt+");
    if (chord.shift)
        name += QStringLiteral("Shift+");
    return name + (chord.key.size() == 1 ? chord.key.toUpper() : chord.key);
}

} // namespace sorvane
