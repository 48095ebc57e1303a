#pragma once

#include "Platform/Accessibility.h"
#include "Platform/Keystrokes.h"
#include "Platform/SystemClipboard.h"
#include "Platform/WindowCapture.h"
#include "Platform/WindowSystem.h"

namespace sorvane {

// The system services that reaching into other applications needs, one of each. They
// belong to the platform (DesktopPlatform, or the tests' fakes) and outlive every user.
struct CapturePlatform {
    Accessibility &accessibility;
    WindowSystem &windowSystem;
    KeystrokeSender &keystrokes;
    SystemClipboard &clipboard;
    WindowCapture &windowCapture;
    // Borrowed for a paste into a window whose paste key inserts PRIMARY.
    SystemClipboard &primarySelection;
};

} // namespace sorvane
