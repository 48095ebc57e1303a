#pragma once

#include <QString>
#include <QStringList>

namespace sorvane {

// The argument the login item starts the program with: the only start that may keep
// the main window closed.
inline constexpr auto autostartArgument = "--autostart";

struct LaunchInputs {
    bool fromAutostart = false;      // started by the login item (autostartArgument)
    bool onboardingComplete = false; // the first-run set-up is done
    bool trayAvailable = false;      // a panel shows tray items now
};

// Whether the main window opens at start. A start from the desktop entry or a terminal
// always shows it; the login item starts quietly only when the user has been through
// the set-up and a tray item can bring the window back.
bool opensMainWindowAtLaunch(const LaunchInputs &inputs);

// Whether closing the main window first says that Sorvane goes on running: only when no
// tray item can bring it back, and only the first time.
bool saysKeepsRunningOnClose(bool trayAvailable, bool alreadySaid);

// The window's own words for that close.
QString keepsRunningTitle();
QString keepsRunningMessage();

// The settings key that remembers the close was explained.
QString keepsRunningNoticeShownKey();

} // namespace sorvane
