#include "CapturePlatform.h"

#include "Platform/DBus/AtSpiAccessibility.h"
#include "Platform/X11/X11Clipboard.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11WindowCapture.h"
#include "Platform/X11/X11WindowSystem.h"
#include "Platform/X11/XTestKeystrokeSender.h"

namespace sorvane {

CapturePlatform CapturePlatform::forDesktop()
{
    std::shared_ptr<X11Connection> connection = X11Connection::open();
    CapturePlatform platform;
    auto keystrokes = std::make_unique<XTestKeystrokeSender>(connection);
    KeystrokeSender *sender = keystrokes.get();
    platform.accessibility = std::make_unique<AtSpiAccessibility>([sender] { return sender->isAvailable(); });
    platform.windowSystem = std::make_unique<X11WindowSystem>(connection);
    platform.keystrokes = std::move(keystrokes);
    platform.clipboard = std::make_unique<X11Clipboard>();
    platform.windowCapture = std::make_unique<X11WindowCapture>();
    return platform;
}

} // namespace sorvane
