#include "Shared/ModelHost.h"

#include "BuildConfig.h"

namespace sorvane {

QString modelHost()
{
    QString host = qEnvironmentVariable("SORVANE_MODEL_HOST");
    if (host.isEmpty())
        host = QStringLiteral(SORVANE_MODEL_HOST);
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    return host;
}

} // namespace sorvane
