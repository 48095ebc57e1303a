#include "Shared/ShortcutRecording.h"

#include "Platform/VirtualKeyCodes.h"

#include <X11/X.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace sorvane::shortcutrecording {

QString keySymbolText(quint32 keySym)
{
    // Latin-1 symbols are their own code points; newer symbols carry one directly.
    if ((keySym >= 0x20 && keySym <= 0x7E) || (keySym >= 0xA0 && keySym <= 0xFF))
        return QString(QChar(char16_t(keySym)));
    if (keySym >= 0x01000100 && keySym <= 0x0110FFFF) {
        const char32_t codePoint = keySym - 0x01000000;
        return QString::fromUcs4(&codePoint, 1);
    }
    if (keySym >= XK_KP_0 && keySym <= XK_KP_9)
        return QString(QChar(u'0' + char16_t(keySym - XK_KP_0)));
    switch (keySym) {
    case XK_KP_Decimal:
        return QStringLiteral(".");
    case XK_KP_Add:
        return QStringLiteral("+");
    case XK_KP_Subtract:
        return QStringLiteral("-");
    case XK_KP_Multiply:
        return QStringLiteral("*");
    case XK_KP_Divide:
        return QStringLiteral("/");
    case XK_KP_Equal:
        return QStringLiteral("=");
    default:
        return {};
    }
}

QString keyLabel(quint32 storedKeyCode, quint32 baseKeySym)
{
    switch (storedKeyCode) {
    case 36: return QStringLiteral("Return");
    case 48: return QStringLiteral("Tab");
    case 49: return QStringLiteral("Space");
    case 51: return QStringLiteral("Delete");
    case 53: return QStringLiteral("Esc");
    case 76: return QStringLiteral("Enter");
    case 115: return QStringLiteral("Home");
    case 116: return QStringLiteral("Page Up");
    case 117: return QStringLiteral("Forward Delete");
    case 119: return QStringLiteral("End");
    case 121: return QStringLiteral("Page Down");
    case 123: return QStringLiteral("←");
    case 124: return QStringLiteral("→");
    case 125: return QStringLiteral("↓");
    case 126: return QStringLiteral("↑");
    default:
        break;
    }
    const QString text = keySymbolText(baseKeySym).trimmed().toUpper();
    if (text.isEmpty())
        return QStringLiteral("Key %1").arg(storedKeyCode);
    return text;
}

ShortcutKeyOutcome interpret(const ShortcutKeyPress &press, const ShortcutModifierMasks &masks, bool requiresModifier)
{
    ShortcutKeyOutcome outcome;
    if (press.autoRepeat || IsModifierKey(press.baseKeySym) || press.baseKeySym == XK_Caps_Lock
        || press.baseKeySym == XK_Shift_Lock)
        return outcome;
    if (masks.altGr != 0 && (press.xModifiers & masks.altGr) != 0) {
        // Third-level characters: a grab with AltGr would take the key from typing.
        outcome.kind = ShortcutKeyOutcome::Kind::Refuse;
        outcome.hint = altGrHint;
        return outcome;
    }
    KeyboardShortcutSetting shortcut;
    shortcut.keyCode = storedKeyCodeForEvdevKeyCode(press.xKeyCode);
    shortcut.keyLabel = keyLabel(shortcut.keyCode, press.baseKeySym);
    shortcut.shift = (press.xModifiers & ShiftMask) != 0;
    shortcut.control = (press.xModifiers & ControlMask) != 0;
    shortcut.option = (press.xModifiers & masks.alt) != 0;
    shortcut.command = (press.xModifiers & masks.super) != 0;
    const bool hasModifier = shortcut.shift || shortcut.control || shortcut.option || shortcut.command;
    if (requiresModifier && !hasModifier) {
        outcome.kind = ShortcutKeyOutcome::Kind::Refuse;
        outcome.hint = addModifierHint;
        return outcome;
    }
    outcome.kind = ShortcutKeyOutcome::Kind::Record;
    outcome.shortcut = shortcut;
    return outcome;
}

} // namespace sorvane::shortcutrecording
