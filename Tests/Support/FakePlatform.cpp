#include "FakePlatform.h"

namespace sorvane::testing {

namespace {
template <typename Fake, typename Interface>
std::unique_ptr<Interface> keep(Fake *&alias)
{
    auto fake = std::make_unique<Fake>();
    alias = fake.get();
    return fake;
}
} // namespace

FakePlatform::FakePlatform()
{
    DesktopPlatform::Services services;
    services.accessibility = keep<FakeAccessibility, Accessibility>(accessibility);
    services.windowSystem = keep<FakeWindowSystem, WindowSystem>(windowSystem);
    services.keystrokes = keep<FakeKeystrokes, KeystrokeSender>(keystrokes);
    services.clipboard = keep<FakeClipboard, SystemClipboard>(clipboard);
    services.primarySelection = keep<FakeClipboard, SystemClipboard>(primarySelection);
    services.windowCapture = keep<FakeWindowCapture, WindowCapture>(windowCapture);
    services.hotKeys = keep<FakeHotKeyBackend, HotKeyBackend>(hotKeys);
    services.audioInput = keep<FakeAudioInput, AudioInput>(audioInput);
    secretStore = std::make_shared<FakeSecretStore>();
    services.secretStore = secretStore;
    services.settings = keep<MemorySettingsStore, SettingsStore>(settings);
    services.notifications = keep<FakeNotifications, DesktopNotifications>(notifications);
    platform = std::make_unique<DesktopPlatform>(std::move(services));
}

} // namespace sorvane::testing
