#include "MainWindow/MainWindowLayout.h"

namespace sorvane::MainWindowLayout {

RootChoice chooseRoot(bool onboardingComplete, bool locationPromptDue)
{
    return {onboardingComplete ? RootScreen::MainShell : RootScreen::Onboarding, locationPromptDue};
}

QString sectionAccessibilityValue(bool selected)
{
    return selected ? QStringLiteral("Selected") : QStringLiteral("Not selected");
}

QString versionString(const QString &buildVersion)
{
    return buildVersion.trimmed().isEmpty() ? QStringLiteral("\u2014") : buildVersion;
}

} // namespace sorvane::MainWindowLayout
