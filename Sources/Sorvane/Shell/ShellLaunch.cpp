#include "Shell/ShellLaunch.h"

namespace sorvane {

bool opensMainWindowAtLaunch(const LaunchInputs &inputs)
{
    return !(inputs.fromAutostart && inputs.onboardingComplete && inputs.trayAvailable);
}

bool saysKeepsRunningOnClose(bool trayAvailable, bool alreadySaid)
{
    return !trayAvailable && !alreadySaid;
}

QString keepsRunningTitle()
{
    return QStringLiteral("Sorvane keeps running");
}

QString keepsRunningMessage()
{
    return QStringLiteral("Closing this window leaves Sorvane running, so your shortcuts keep working. "
                          "This desktop shows no tray icon: open Sorvane again from your applications or "
                          "run sorvane to bring this window back, and choose Quit Sorvane in the Sorvane "
                          "menu to end it.");
}

QString keepsRunningNoticeShownKey()
{
    return QStringLiteral("keepsRunningNoticeShown");
}

} // namespace sorvane
