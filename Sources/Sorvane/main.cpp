#include "AppPaths.h"
#include "BuildConfig.h"
#include "Platform/UnixSignalWatcher.h"
#include "Services/ApplicationLocationController.h"
#include "Services/SingleInstance.h"
#include "Services/UpdateController.h"
#include "Services/Updater/Updater.h"
#include "Shell/SessionNotice.h"
#include "Views/Shell/MainMenuModel.h"
#include "Views/Shell/ShellActions.h"
#include "Views/Shell/ShellWindows.h"
#include "Views/Shell/TrayController.h"
#include "ViewsModule.h"

#include <QApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>

using namespace sorvane;

Q_LOGGING_CATEGORY(programLog, "sorvane")

int main(int argc, char *argv[])
{
    UnixSignalWatcher::ignoreBrokenPipes();
    // The tray item and its menu are widgets; every window is QML.
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Sorvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("sorvane.local"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORVANE_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Sorvane"));
    // Notifications, the tray and the window manager name the program by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.sorvane.local"));
    // Only Quit ends the program; closing the window leaves it in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (instance.claim() == SingleInstance::Claim::HandedOff)
        return 0;

    UnixSignalWatcher signals;
    QObject::connect(&signals, &UnixSignalWatcher::terminationRequested, &app, [] { QCoreApplication::quit(); });

    // Start-up failures leave defaults in place and never stop the program.
    if (auto prepared = AppPaths::prepare(); !prepared)
        std::fprintf(stderr, "sorvane: %s\n", qPrintable(prepared.error()));

    // The screens are flat and small: the software scene graph draws them at a fraction
    // of a GL context's memory (QT_QUICK_BACKEND still chooses another).
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

    UpdateController updates(UpdateController::buildConfiguration());
    ApplicationLocationController applicationLocation;
    views::initialise();
    ShellWindows windows(&updates, &applicationLocation);
    AppState *state = nullptr; // the application state is made here and handed to the shell

    ShellActions actions(state, &updates, [&windows] { windows.raiseMainWindow(); });
    MainMenuModel menus(state, &updates, &actions);
    windows.setMenus(&menus);
    windows.setState(state);
    TrayController tray(updates.isConfigured(), &actions);
    tray.show();

    QObject::connect(&instance, &SingleInstance::activationRequested, &actions,
                     [&actions] { actions.perform(MenuAction::OpenApp); });
    // A new image is in place: end, and let a waiter start it once this process is gone.
    QObject::connect(&updates, &UpdateController::relaunchRequested, &app, [](const QString &program) {
        if (!Updater::relaunchAfterExit(program, QCoreApplication::applicationPid()))
            qCWarning(programLog) << "could not arrange the relaunch of" << program;
        QCoreApplication::quit();
    });

    if (const auto notice = shortcutsUnavailableNotice(QProcessEnvironment::systemEnvironment())) {
        qCWarning(programLog).noquote() << *notice;
        postDesktopNotice(QStringLiteral("Global shortcuts are unavailable"), *notice);
    }

    return app.exec();
}
