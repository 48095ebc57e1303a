#include "SettingsHelpers.h"

#include "Overlay/DesktopColorScheme.h"

namespace sorvane {

DesktopAppearance::DesktopAppearance(QObject *parent) : QObject(parent)
{
    connect(&DesktopColorScheme::shared(), &DesktopColorScheme::changed, this, &DesktopAppearance::changed);
}

bool DesktopAppearance::isDark() const
{
    return DesktopColorScheme::shared().isDark();
}

} // namespace sorvane
