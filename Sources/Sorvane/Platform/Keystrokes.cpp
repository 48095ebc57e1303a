#include "Keystrokes.h"

#include <QSet>

namespace sorvane {

namespace {

enum class ClipboardKeys { Ordinary, TerminalKeys, NoKeystroke };

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
    // Ctrl+Shift+C like Ctrl+C (an interrupt): no keystroke is safe.
    static const QSet<QString> withoutClipboardKeys = {
        QStringLiteral("xterm"), QStringLiteral("uxterm"), QStringLiteral("rxvt"), QStringLiteral("urxvt"),
        QStringLiteral("rxvt-unicode"), QStringLiteral("urxvt-256color"), QStringLiteral("aterm"),
        QStringLiteral("eterm"), QStringLiteral("mlterm")};
    const QString key = name.toLower();
    if (withoutClipboardKeys.contains(key))
        return ClipboardKeys::NoKeystroke;
    if (terminals.contains(key))
        return ClipboardKeys::TerminalKeys;
    return ClipboardKeys::Ordinary;
}

} // namespace

std::optional<KeyChord> standardShortcut(StandardShortcut shortcut, const QString &windowClass,
                                         const QString &windowInstance)
{
    ClipboardKeys keys = clipboardKeysFor(windowClass);
    if (keys == ClipboardKeys::Ordinary)
        keys = clipboardKeysFor(windowInstance);
    if (keys == ClipboardKeys::NoKeystroke)
        return std::nullopt;
    KeyChord chord;
    chord.key = shortcut == StandardShortcut::Copy ? QStringLiteral("c") : QStringLiteral("v");
    chord.control = true;
    chord.shift = keys == ClipboardKeys::TerminalKeys;
    return chord;
}

} // namespace sorvane
