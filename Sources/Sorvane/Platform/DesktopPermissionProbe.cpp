#include "Platform/DesktopPermissionProbe.h"

#include "Platform/Accessibility.h"
#include "Platform/AudioInput.h"
#include "Platform/WindowCapture.h"

namespace sorvane {

DesktopPermissionProbe::DesktopPermissionProbe(Accessibility &accessibility, WindowCapture &windowCapture,
                                               AudioInput &audioInput)
    : m_accessibility(accessibility), m_windowCapture(windowCapture), m_audioInput(audioInput)
{
}

bool DesktopPermissionProbe::microphoneGranted() { return m_audioInput.hasInputDevice(); }
bool DesktopPermissionProbe::accessibilityGranted() { return m_accessibility.isTrusted(); }
bool DesktopPermissionProbe::screenRecordingGranted() { return m_windowCapture.isAccessGranted(); }

// There is nothing to grant for a microphone here: a device is there or it is not.
bool DesktopPermissionProbe::requestMicrophone() { return microphoneGranted(); }
bool DesktopPermissionProbe::requestAccessibility() { return m_accessibility.requestTrust(); }
bool DesktopPermissionProbe::requestScreenRecording() { return m_windowCapture.requestAccess(); }

} // namespace sorvane
