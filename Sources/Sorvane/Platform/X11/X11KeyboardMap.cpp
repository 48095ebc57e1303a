#include "Platform/X11/X11KeyboardMap.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace sorvane {

namespace {

// Every symbol of one key, from the server.
template <typename F>
void forEachSymbol(Display *display, KeyCode keyCode, F &&f)
{
    int perKeyCode = 0;
    KeySym *symbols = XGetKeyboardMapping(display, keyCode, 1, &perKeyCode);
    if (!symbols)
        return;
    for (int level = 0; level < perKeyCode; ++level)
        if (symbols[level] != NoSymbol)
            f(symbols[level]);
    XFree(symbols);
}

} // namespace

X11ModifierMasks readModifierMasks(Display *display)
{
    X11ModifierMasks masks{0, 0, 0, 0};
    if (display) {
        if (XModifierKeymap *map = XGetModifierMapping(display)) {
            // Only Mod1..Mod5 can carry Alt, Super, Num Lock or AltGr.
            for (int index = Mod1MapIndex; index <= Mod5MapIndex; ++index) {
                for (int k = 0; k < map->max_keypermod; ++k) {
                    const KeyCode keyCode = map->modifiermap[index * map->max_keypermod + k];
                    if (keyCode == 0)
                        continue;
                    forEachSymbol(display, keyCode, [&](KeySym symbol) {
                        if (symbol == XK_Num_Lock)
                            masks.numLock |= 1u << index;
                        else if (symbol == XK_Alt_L || symbol == XK_Alt_R)
                            masks.alt |= 1u << index;
                        else if (symbol == XK_Super_L || symbol == XK_Super_R)
                            masks.super |= 1u << index;
                        else if (symbol == XK_ISO_Level3_Shift || symbol == XK_Mode_switch)
                            masks.altGr |= 1u << index;
                    });
                }
            }
            XFreeModifiermap(map);
        }
    }
    const X11ModifierMasks usual;
    if (masks.alt == 0)
        masks.alt = usual.alt;
    if (masks.super == 0)
        masks.super = usual.super;
    if (!display) {
        masks.numLock = usual.numLock;
        masks.altGr = usual.altGr;
    }
    // A key that is both (rare layouts) counts as Alt.
    masks.altGr &= ~masks.alt;
    return masks;
}

Display *openKeyboardDisplay()
{
    return XOpenDisplay(nullptr);
}

quint32 baseKeySymbol(Display *display, unsigned xKeyCode)
{
    if (!display || xKeyCode < 8 || xKeyCode > 255)
        return 0;
    int minKeyCode = 8, maxKeyCode = 255;
    XDisplayKeycodes(display, &minKeyCode, &maxKeyCode);
    if (int(xKeyCode) < minKeyCode || int(xKeyCode) > maxKeyCode)
        return 0;
    int perKeyCode = 0;
    KeySym *symbols = XGetKeyboardMapping(display, KeyCode(xKeyCode), 1, &perKeyCode);
    if (!symbols)
        return 0;
    const quint32 symbol = perKeyCode > 0 ? quint32(symbols[0]) : 0;
    XFree(symbols);
    return symbol;
}

} // namespace sorvane
