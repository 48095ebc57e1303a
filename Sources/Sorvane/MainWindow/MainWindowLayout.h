#pragma once

#include "Dictation/DictationTypes.h"

#include <QString>

namespace sorvane {

// What the main window shows: the first-run set-up until it is done, the shell after.
enum class RootScreen { Onboarding, MainShell };

struct RootChoice {
    RootScreen screen = RootScreen::Onboarding;
    // The move prompt is a sheet over whichever screen is current.
    bool showsMovePrompt = false;
    friend bool operator==(const RootChoice &, const RootChoice &) = default;
};

namespace MainWindowLayout {

RootChoice chooseRoot(bool onboardingComplete, bool locationPromptDue);
// The accessibility value of a sidebar row.
QString sectionAccessibilityValue(bool selected);
// The version at the foot of the sidebar; an em dash when the build has none.
QString versionString(const QString &buildVersion);

} // namespace MainWindowLayout
} // namespace sorvane
