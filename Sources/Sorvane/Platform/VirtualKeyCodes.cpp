#include "VirtualKeyCodes.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <algorithm>
#include <array>

namespace sorvane {

namespace {

// Modifier keys themselves (Command, Shift, Option, Control, Caps Lock, Fn) are
// left out: they cannot be the key of a shortcut.
constexpr std::array<VirtualKey, 104> table{{
    {0x00, 38, XK_a},
    {0x01, 39, XK_s},
    {0x02, 40, XK_d},
    {0x03, 41, XK_f},
    {0x04, 43, XK_h},
    {0x05, 42, XK_g},
    {0x06, 52, XK_z},
    {0x07, 53, XK_x},
    {0x08, 54, XK_c},
    {0x09, 55, XK_v},
    {0x0A, 94, XK_less}, // the extra key beside left Shift on ISO keyboards
    {0x0B, 56, XK_b},
    {0x0C, 24, XK_q},
    {0x0D, 25, XK_w},
    {0x0E, 26, XK_e},
    {0x0F, 27, XK_r},
    {0x10, 29, XK_y},
    {0x11, 28, XK_t},
    {0x12, 10, XK_1},
    {0x13, 11, XK_2},
    {0x14, 12, XK_3},
    {0x15, 13, XK_4},
    {0x16, 15, XK_6},
    {0x17, 14, XK_5},
    {0x18, 21, XK_equal},
    {0x19, 18, XK_9},
    {0x1A, 16, XK_7},
    {0x1B, 20, XK_minus},
    {0x1C, 17, XK_8},
    {0x1D, 19, XK_0},
    {0x1E, 35, XK_bracketright},
    {0x1F, 32, XK_o},
    {0x20, 30, XK_u},
    {0x21, 34, XK_bracketleft},
    {0x22, 31, XK_i},
    {0x23, 33, XK_p},
    {0x24, 36, XK_Return},
    {0x25, 46, XK_l},
    {0x26, 44, XK_j},
    {0x27, 48, XK_apostrophe},
    {0x28, 45, XK_k},
    {0x29, 47, XK_semicolon},
    {0x2A, 51, XK_backslash},
    {0x2B, 59, XK_comma},
    {0x2C, 61, XK_slash},
    {0x2D, 57, XK_n},
    {0x2E, 58, XK_m},
    {0x2F, 60, XK_period},
    {0x30, 23, XK_Tab},
    {0x31, 65, XK_space},
    {0x32, 49, XK_grave},
    {0x33, 22, XK_BackSpace},
    {0x35, 9, XK_Escape},
    {0x40, 195, XK_F17},
    {0x41, 91, XK_KP_Decimal},
    {0x43, 63, XK_KP_Multiply},
    {0x45, 86, XK_KP_Add},
    {0x48, 123, XF86XK_AudioRaiseVolume},
    {0x49, 122, XF86XK_AudioLowerVolume},
    {0x4A, 121, XF86XK_AudioMute},
    {0x4B, 106, XK_KP_Divide},
    {0x4C, 104, XK_KP_Enter},
    {0x4E, 82, XK_KP_Subtract},
    {0x4F, 196, XK_F18},
    {0x50, 197, XK_F19},
    {0x51, 125, XK_KP_Equal},
    {0x52, 90, XK_KP_0},
    {0x53, 87, XK_KP_1},
    {0x54, 88, XK_KP_2},
    {0x55, 89, XK_KP_3},
    {0x56, 83, XK_KP_4},
    {0x57, 84, XK_KP_5},
    {0x58, 85, XK_KP_6},
    {0x59, 79, XK_KP_7},
    {0x5A, 198, XK_F20},
    {0x5B, 80, XK_KP_8},
    {0x5C, 81, XK_KP_9},
    {0x60, 71, XK_F5},
    {0x61, 72, XK_F6},
    {0x62, 73, XK_F7},
    {0x63, 69, XK_F3},
    {0x64, 74, XK_F8},
    {0x65, 75, XK_F9},
    {0x67, 95, XK_F11},
    {0x69, 191, XK_F13},
    {0x6A, 194, XK_F16},
    {0x6B, 192, XK_F14},
    {0x6D, 76, XK_F10},
    {0x6E, 135, XK_Menu},
    {0x6F, 96, XK_F12},
    {0x71, 193, XK_F15},
    {0x72, 118, XK_Insert}, // "Help" sits where PC keyboards have Insert
    {0x73, 110, XK_Home},
    {0x74, 112, XK_Prior},
    {0x75, 119, XK_Delete},
    {0x76, 70, XK_F4},
    {0x77, 115, XK_End},
    {0x78, 68, XK_F2},
    {0x79, 117, XK_Next},
    {0x7A, 67, XK_F1},
    {0x7B, 113, XK_Left},
    {0x7C, 114, XK_Right},
    {0x7D, 116, XK_Down},
    {0x7E, 111, XK_Up},
}};

static_assert(std::is_sorted(table.begin(), table.end(),
                             [](const VirtualKey &a, const VirtualKey &b) { return a.virtualKeyCode < b.virtualKeyCode; }));

} // namespace

std::span<const VirtualKey> virtualKeys()
{
    return table;
}

const VirtualKey *virtualKeyByCode(quint32 virtualKeyCode)
{
    const auto it = std::lower_bound(table.begin(), table.end(), virtualKeyCode,
                                     [](const VirtualKey &key, quint32 code) { return key.virtualKeyCode < code; });
    return it != table.end() && it->virtualKeyCode == virtualKeyCode ? &*it : nullptr;
}

const VirtualKey *virtualKeyByEvdevKeyCode(quint32 xKeyCode)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [xKeyCode](const VirtualKey &key) { return key.evdevKeyCode == xKeyCode; });
    return it != table.end() ? &*it : nullptr;
}

quint32 storedKeyCodeForEvdevKeyCode(quint32 xKeyCode)
{
    if (const VirtualKey *key = virtualKeyByEvdevKeyCode(xKeyCode))
        return key->virtualKeyCode;
    return rawXKeyCodeBase + xKeyCode;
}

} // namespace sorvane
