#include "Platform/DesktopPlatform.h"

#include "Platform/DBus/AtSpiAccessibility.h"
#include "Platform/DBus/DBusNotifications.h"
#include "Platform/Keyring/QtKeychainSecretStore.h"
#include "Platform/Multimedia/QtAudioInput.h"
#include "Platform/X11/X11Clipboard.h"
#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11WindowCapture.h"
#include "Platform/X11/X11WindowSystem.h"
#include "Platform/X11/XTestKeystrokeSender.h"

#include <QDBusConnection>

namespace sorvane {

DesktopPlatform::DesktopPlatform(Services services) : DesktopPlatform(std::move(services), nullptr) {}

DesktopPlatform::DesktopPlatform(Services services, std::shared_ptr<X11Connection> x11)
    : m_x11(std::move(x11)), m_services(std::move(services))
{
    Q_ASSERT(m_services.accessibility && m_services.windowSystem && m_services.keystrokes && m_services.clipboard
             && m_services.primarySelection && m_services.windowCapture && m_services.hotKeys && m_services.audioInput
             && m_services.secretStore && m_services.settings && m_services.notifications);
}

DesktopPlatform::~DesktopPlatform() = default;

CapturePlatform DesktopPlatform::capture()
{
    return CapturePlatform{accessibility(), windowSystem(), keystrokes(), clipboard(), windowCapture(), primarySelection()};
}

std::unique_ptr<DesktopPlatform> DesktopPlatform::forDesktop()
{
    std::shared_ptr<X11Connection> connection = X11Connection::open();
    Services services;
    auto keystrokes = std::make_unique<XTestKeystrokeSender>(connection);
    KeystrokeSender *sender = keystrokes.get();
    services.accessibility = std::make_unique<AtSpiAccessibility>([sender] { return sender->isAvailable(); });
    services.windowSystem = std::make_unique<X11WindowSystem>(connection);
    services.keystrokes = std::move(keystrokes);
    services.clipboard = std::make_unique<X11Clipboard>();
    services.primarySelection = std::make_unique<X11Clipboard>(QClipboard::Selection);
    services.windowCapture = std::make_unique<X11WindowCapture>();
    services.hotKeys = createSystemHotKeyBackend(connection);
    services.audioInput = std::make_unique<QtAudioInput>();
    services.secretStore = std::make_shared<QtKeychainSecretStore>();
    services.settings = std::make_unique<JsonFileSettingsStore>(JsonFileSettingsStore::defaultPath());
    services.notifications = std::make_unique<DBusNotifications>(QDBusConnection::sessionBus());
    return std::unique_ptr<DesktopPlatform>(new DesktopPlatform(std::move(services), std::move(connection)));
}

} // namespace sorvane
