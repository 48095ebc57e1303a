#include "Services/Shell/Updater/UpdatePresentation.h"

#include <cmath>

namespace sorvane {

int wholePercent(double fraction)
{
    // std::round takes halves away from zero (0.125 gives 13, not the even 12).
    return static_cast<int>(std::round(fraction * 100.0));
}

QString UpdatePresentation::label() const
{
    switch (kind) {
    case Kind::Available:
        return QStringLiteral("Update ") + version.value_or(QString());
    case Kind::Downloading:
        if (progress)
            return QStringLiteral("Downloading %1%").arg(wholePercent(*progress));
        return QStringLiteral("Downloading update");
    case Kind::Preparing:
        return QStringLiteral("Preparing update");
    case Kind::ReadyToInstall:
        return QStringLiteral("Restart to update");
    case Kind::Idle:
        return {};
    case Kind::Checking:
        return QStringLiteral("Checking for updates");
    case Kind::Installing:
        return QStringLiteral("Installing update");
    case Kind::Restarting:
        return QStringLiteral("Restarting");
    case Kind::Failed:
        return QStringLiteral("Update failed");
    }
    return {};
}

} // namespace sorvane
