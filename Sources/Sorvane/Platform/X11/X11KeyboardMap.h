#pragma once

#include <QtGlobal>

typedef struct _XDisplay Display;

namespace sorvane {

// The modifier masks that carry Alt, Super, Num Lock and AltGr on a server, read from
// its modifier map (they are not fixed: Alt is usually Mod1, but need not be). The hot
// keys grab with these masks and the shortcut recorder reads presses with them, so a
// recorded combination is one that can be grabbed.
struct X11ModifierMasks {
    unsigned alt = 0x08;    // Mod1
    unsigned super = 0x40;  // Mod4
    unsigned numLock = 0x10; // Mod2
    unsigned altGr = 0x80;  // Mod5
};

// Read straight from the server rather than from Xlib's caches, so a mapping change
// is seen the moment it is announced. Where the map names no Alt or Super key, the
// usual modifiers stand in.
X11ModifierMasks readModifierMasks(Display *display);

// The symbol of a key in the first group at its base level (no modifiers), from the
// server's current mapping; 0 for none.
quint32 baseKeySymbol(Display *display, unsigned xKeyCode);

// A connection of its own to $DISPLAY, for reading the keyboard where the toolkit has
// none (its offscreen platform); none without a display.
Display *openKeyboardDisplay();

} // namespace sorvane
