#include "AppPaths.h"
#include "BuildConfig.h"
#include "MakeAppState.h"
#include "Platform/DesktopPlatform.h"
#include "Platform/UnixSignalWatcher.h"

#include <QApplication>
#include <cstdio>

using namespace sorvane;

int main(int argc, char *argv[])
{
    UnixSignalWatcher::ignoreBrokenPipes();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Sorvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("sorvane.local"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORVANE_VERSION));
    // The program lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    UnixSignalWatcher signals;
    QObject::connect(&signals, &UnixSignalWatcher::terminationRequested, &app, [] { QCoreApplication::quit(); });

    // Start-up failures leave defaults in place and never stop the program.
    if (auto prepared = AppPaths::prepare(); !prepared)
        std::fprintf(stderr, "sorvane: %s\n", qPrintable(prepared.error()));

    // The application state over the desktop's services; it lives until the program ends.
    const std::unique_ptr<DesktopPlatform> platform = DesktopPlatform::forDesktop();
    DesktopAppState::Windows windows;
    windows.bell = [] { QApplication::beep(); };
    const std::unique_ptr<DesktopAppState> appState = makeAppState(*platform, std::move(windows));
    // Each time the program becomes active it re-reads its permission grants.
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &appState->state(), [&](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive)
            appState->state().refreshPermissions();
    });

    return app.exec();
}
