#pragma once

#include "FakeAccessibility.h"
#include "FakeAudioInput.h"
#include "FakeClipboard.h"
#include "FakeHotKeyBackend.h"
#include "FakeKeystrokes.h"
#include "FakeNotifications.h"
#include "FakeSecretStore.h"
#include "FakeWindowCapture.h"
#include "FakeWindowSystem.h"
#include "MemorySettingsStore.h"
#include "Platform/DesktopPlatform.h"

#include <memory>

namespace sorvane::testing {

// Every system service as a fake, built in one call: `platform` owns them and is what
// the services under test are given; the members reach each fake by its own type.
struct FakePlatform {
    FakePlatform();

    FakeAccessibility *accessibility = nullptr;
    FakeWindowSystem *windowSystem = nullptr;
    FakeKeystrokes *keystrokes = nullptr;
    FakeClipboard *clipboard = nullptr;
    FakeClipboard *primarySelection = nullptr;
    FakeWindowCapture *windowCapture = nullptr;
    FakeHotKeyBackend *hotKeys = nullptr;
    FakeAudioInput *audioInput = nullptr;
    std::shared_ptr<FakeSecretStore> secretStore;
    MemorySettingsStore *settings = nullptr;
    FakeNotifications *notifications = nullptr;

    std::unique_ptr<DesktopPlatform> platform;
};

} // namespace sorvane::testing
