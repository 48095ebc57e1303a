#include "AppPaths.h"
#include "BuildConfig.h"
#include "MakeAppState.h"
#include "Platform/DesktopPlatform.h"
#include "Platform/UnixSignalWatcher.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

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
    std::unique_ptr<DesktopPlatform> platform = DesktopPlatform::forDesktop();
    DesktopAppState::Windows windows;
    windows.bell = [] { QApplication::beep(); };
    std::unique_ptr<DesktopAppState> appState = makeAppState(*platform, std::move(windows));
    // Each time the program becomes active it re-reads its permission grants.
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &appState->state(), [&](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive)
            appState->state().refreshPermissions();
    });

    const int status = app.exec();

    // Ours ends in order: the state (its stores write as they go), then the platform.
    // Qt Multimedia's PulseAudio engine, torn down after main, can abort inside libpulse
    // when its connection is freed before its loop has run again; nothing is left to
    // save by then, so the process ends here.
    appState.reset();
    platform.reset();
    std::fflush(nullptr);
    std::_Exit(status);
}
