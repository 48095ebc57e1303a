#pragma once

#include "Platform/Accessibility.h"
#include "Platform/AudioInput.h"
#include "Platform/CapturePlatform.h"
#include "Platform/DesktopNotifications.h"
#include "Platform/HotKeyBackend.h"
#include "Platform/Keystrokes.h"
#include "Platform/SecretStore.h"
#include "Platform/SettingsStore.h"
#include "Platform/SystemClipboard.h"
#include "Platform/WindowCapture.h"
#include "Platform/WindowSystem.h"

#include <memory>

namespace sorvane {

class X11Connection;

// Owns every system service of the program, one of each: services and stores are
// handed references to what they use and never build a system service themselves.
// The program builds the desktop's with forDesktop(); tests build one of fakes.
class DesktopPlatform {
public:
    struct Services {
        std::unique_ptr<Accessibility> accessibility;
        std::unique_ptr<WindowSystem> windowSystem;
        std::unique_ptr<KeystrokeSender> keystrokes;
        // The one clipboard: its change count means the same to Dictation and Command.
        std::unique_ptr<SystemClipboard> clipboard;
        // The PRIMARY selection, which xterm and its kin paste with Shift+Insert.
        std::unique_ptr<SystemClipboard> primarySelection;
        std::unique_ptr<WindowCapture> windowCapture;
        std::unique_ptr<HotKeyBackend> hotKeys;
        std::unique_ptr<AudioInput> audioInput;
        // Shared: keychain stores are values that keep their backend while an operation runs.
        std::shared_ptr<SecretStore> secretStore;
        std::unique_ptr<SettingsStore> settings;
        std::unique_ptr<DesktopNotifications> notifications;
    };

    // Every service must be given.
    explicit DesktopPlatform(Services services);
    ~DesktopPlatform();
    DesktopPlatform(const DesktopPlatform &) = delete;
    DesktopPlatform &operator=(const DesktopPlatform &) = delete;

    // The Linux desktop's: one X11 connection for windows, keystrokes and hot keys,
    // AT-SPI, the Qt clipboard, Qt Multimedia, the system keyring, the settings file
    // and the session bus's notification server. Needs the QGuiApplication to exist.
    static std::unique_ptr<DesktopPlatform> forDesktop();

    Accessibility &accessibility() { return *m_services.accessibility; }
    WindowSystem &windowSystem() { return *m_services.windowSystem; }
    KeystrokeSender &keystrokes() { return *m_services.keystrokes; }
    SystemClipboard &clipboard() { return *m_services.clipboard; }
    SystemClipboard &primarySelection() { return *m_services.primarySelection; }
    WindowCapture &windowCapture() { return *m_services.windowCapture; }
    HotKeyBackend &hotKeys() { return *m_services.hotKeys; }
    AudioInput &audioInput() { return *m_services.audioInput; }
    const std::shared_ptr<SecretStore> &secretStore() { return m_services.secretStore; }
    SettingsStore &settings() { return *m_services.settings; }
    DesktopNotifications &notifications() { return *m_services.notifications; }

    // What the capture services use.
    CapturePlatform capture();

private:
    DesktopPlatform(Services services, std::shared_ptr<X11Connection> x11);

    // Declared first, so it is closed after every service that uses it.
    std::shared_ptr<X11Connection> m_x11;
    Services m_services;
};

} // namespace sorvane
