#pragma once

#include <QtGlobal>
#include <span>

namespace sorvane {

// Stored shortcuts keep the virtual key codes of the desktop they were first
// defined on (49 Space, 53 Escape, 123 Left ...), so that stored settings and
// prompt profiles stay readable everywhere. One fixed table turns them into X key
// codes at the edge. A key that has no virtual code is stored as
// rawXKeyCodeBase + its X key code.
inline constexpr quint32 rawXKeyCodeBase = 0x10000;

struct VirtualKey {
    quint32 virtualKeyCode;
    // The X key code on a server with the usual evdev numbering (Linux key code + 8).
    quint32 evdevKeyCode;
    // The key's unshifted symbol on a US layout, for servers with other numbering.
    quint32 keySym;
};

// The whole table, in virtual key code order.
std::span<const VirtualKey> virtualKeys();

const VirtualKey *virtualKeyByCode(quint32 virtualKeyCode);
const VirtualKey *virtualKeyByEvdevKeyCode(quint32 xKeyCode);

// The code to store for a key pressed on an evdev server: its virtual key code
// when the table has one, otherwise rawXKeyCodeBase + the X key code.
quint32 storedKeyCodeForEvdevKeyCode(quint32 xKeyCode);

} // namespace sorvane
