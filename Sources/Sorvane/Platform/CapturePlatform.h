#pragma once

#include "Platform/Accessibility.h"
#include "Platform/Keystrokes.h"
#include "Platform/SystemClipboard.h"
#include "Platform/WindowCapture.h"
#include "Platform/WindowSystem.h"

#include <memory>

namespace sorvane {

// The system services that reaching into other applications needs, one of each.
struct CapturePlatform {
    std::unique_ptr<Accessibility> accessibility;
    std::unique_ptr<WindowSystem> windowSystem;
    std::unique_ptr<KeystrokeSender> keystrokes;
    std::unique_ptr<SystemClipboard> clipboard;
    std::unique_ptr<WindowCapture> windowCapture;

    // The Linux desktop's: X11 windows, keystrokes and images, AT-SPI, the Qt clipboard.
    // Needs the QGuiApplication to exist.
    static CapturePlatform forDesktop();
};

} // namespace sorvane
