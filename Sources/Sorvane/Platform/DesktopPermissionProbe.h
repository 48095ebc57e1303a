#pragma once

#include "Platform/PermissionProbe.h"

namespace sorvane {

class Accessibility;
class AudioInput;
class WindowCapture;

// The grants as this desktop has them, read from the platform's own services: an audio
// input device, AT-SPI with XTest, and a window grab that works.
class DesktopPermissionProbe final : public PermissionProbe {
public:
    DesktopPermissionProbe(Accessibility &accessibility, WindowCapture &windowCapture, AudioInput &audioInput);

    bool microphoneGranted() override;
    bool accessibilityGranted() override;
    bool screenRecordingGranted() override;
    bool requestMicrophone() override;
    bool requestAccessibility() override;
    bool requestScreenRecording() override;

private:
    Accessibility &m_accessibility;
    WindowCapture &m_windowCapture;
    AudioInput &m_audioInput;
};

} // namespace sorvane
