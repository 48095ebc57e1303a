#include "AppPaths.h"
#include "BuildConfig.h"
#include "Platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <cstdio>

using namespace sorvane;

int main(int argc, char *argv[])
{
    UnixSignalWatcher::ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Sorvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("sorvane.local"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORVANE_VERSION));

    UnixSignalWatcher signals;
    QObject::connect(&signals, &UnixSignalWatcher::terminationRequested, &app, [] { QCoreApplication::quit(); });

    // Start-up failures leave defaults in place and never stop the program.
    if (auto prepared = AppPaths::prepare(); !prepared)
        std::fprintf(stderr, "sorvane: %s\n", qPrintable(prepared.error()));

    return app.exec();
}
