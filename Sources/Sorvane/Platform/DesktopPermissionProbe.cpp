#include "Platform/DesktopPermissionProbe.h"

#include "Platform/Accessibility.h"
#include "Platform/AudioInput.h"
#include "Platform/WindowCapture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace sorvane {

DesktopPermissionProbe::DesktopPermissionProbe(Accessibility &accessibility, WindowCapture &windowCapture,
                                               AudioInput &audioInput)
    : m_accessibility(accessibility), m_windowCapture(windowCapture), m_audioInput(audioInput)
{
}

bool DesktopPermissionProbe::microphoneGranted() { return m_audioInput.hasInputDevice(); }
bool DesktopPermissionProbe::accessibilityGranted() { return m_accessibility.isTrusted(); }
namespace {

// One pixel of the screen: cheap enough for every time the program becomes active.
bool aGrabWorks()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen && !screen->grabWindow(0, 0, 0, 1, 1).isNull();
}

} // namespace

bool DesktopPermissionProbe::screenRecordingGranted() { return m_windowCapture.isAccessGranted() && aGrabWorks(); }

// There is nothing to grant for a microphone here: a device is there or it is not.
bool DesktopPermissionProbe::requestMicrophone() { return microphoneGranted(); }
bool DesktopPermissionProbe::requestAccessibility() { return m_accessibility.requestTrust(); }
bool DesktopPermissionProbe::requestScreenRecording() { return m_windowCapture.requestAccess() && aGrabWorks(); }

} // namespace sorvane
