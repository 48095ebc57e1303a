#include "Shared/AppPaths.h"
#include "BuildConfig.h"
#include "State/MakeAppState.h"
#include "Platform/DesktopPlatform.h"
#include "Platform/SettingsStore.h"
#include "Platform/UnixSignalWatcher.h"
#include "Services/Shell/ApplicationLocationController.h"
#include "Services/Shell/SingleInstance.h"
#include "Services/Shell/UpdateController.h"
#include "Services/Shell/Updater/Updater.h"
#include "Shell/SessionNotice.h"
#include "Shell/ShellLaunch.h"
#include "Views/Kit/ProgramMark.h"
#include "Views/Overlay/OverlayPanelController.h"
#include "Views/Panels/AgentResultPanelController.h"
#include "Views/Shell/MainMenuModel.h"
#include "Views/Shell/ShellActions.h"
#include "Views/Shell/ShellWindows.h"
#include "Views/Shell/TrayAvailability.h"
#include "Views/Shell/TrayController.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <cstdio>
#include <cstdlib>

using namespace sorvane;

Q_LOGGING_CATEGORY(programLog, "sorvane")
// When the program is ready for its shortcuts, told only when asked for (the launch
// benchmark asks with QT_LOGGING_RULES=sorvane.start.info=true).
Q_LOGGING_CATEGORY(startLog, "sorvane.start", QtWarningMsg)

namespace {

// The tray, the menus and the windows, over the application state.
struct Shell {
    Shell(UpdateController &updates, ApplicationLocationController &location)
        : windows(&updates, &location),
          actions(nullptr, &updates, [this] { windows.raiseMainWindow(); }),
          menus(nullptr, &updates, &actions), tray(updates.isConfigured(), &actions)
    {
        windows.setMenus(&menus);
        windows.setTrayAvailable([this] { return trayHost.isAvailable(); });
        // A panel that comes (back) gets the item again.
        QObject::connect(&trayHost, &TrayAvailability::availableChanged, &tray, [this](bool available) {
            if (available)
                tray.show();
        });
    }

    void setState(AppState *state)
    {
        actions.setState(state);
        menus.setState(state);
        windows.setState(state);
    }

    TrayAvailability trayHost;
    ShellWindows windows;
    ShellActions actions;
    MainMenuModel menus;
    TrayController tray;
};

} // namespace

int main(int argc, char *argv[])
{
    UnixSignalWatcher::ignoreBrokenPipes();
    // The tray item and its menu are widgets; every window is QML.
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Sorvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("sorvane.local"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORVANE_VERSION));
    // Notifications, the tray and the window manager name the program by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.sorvane.local"));
    // Every window shows the program's one mark.
    QGuiApplication::setWindowIcon(ProgramMark::icon());
    // Only Quit ends the program: closing its window does not.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second copy brings the first one's window forward and ends.
    SingleInstance instance;
    if (instance.claim() == SingleInstance::Claim::HandedOff)
        return 0;

    UnixSignalWatcher signals;
    QObject::connect(&signals, &UnixSignalWatcher::terminationRequested, &app, [] { QCoreApplication::quit(); });

    // Start-up failures leave defaults in place and never stop the program.
    if (auto prepared = AppPaths::prepare(); !prepared)
        std::fprintf(stderr, "sorvane: %s\n", qPrintable(prepared.error()));
    AppPaths::secureAtStart();

    // The screens are flat and small: the software scene graph draws them at a fraction
    // of a GL context's memory (QT_QUICK_BACKEND still chooses another).
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // The screens' module and fonts are loaded with the first window (ShellWindows).

    UpdateController updates(UpdateController::buildConfiguration());
    ApplicationLocationController applicationLocation;
    auto shell = std::make_unique<Shell>(updates, applicationLocation);
    // The tray item first: the panel registers it while the state is made. Its menu's
    // actions run on a later turn, once the state is there.
    shell->tray.show();

    // The application state over the desktop's services; it lives until the program ends.
    std::unique_ptr<DesktopPlatform> platform = DesktopPlatform::forDesktop();
    DesktopAppState::Windows windows;
    windows.bell = [] { QApplication::beep(); };
    windows.activation = &shell->windows;
    windows.makeOverlay = OverlayPanelController::factory();
    windows.makeResultPanel = AgentResultPanelController::factory();
    std::unique_ptr<DesktopAppState> appState = makeAppState(*platform, std::move(windows));
    // The shortcuts are registered by now.
    qCInfo(startLog) << "ready: the tray item is shown and the shortcuts are registered";
    shell->setState(&appState->state());

    QObject::connect(&instance, &SingleInstance::activationRequested, &shell->actions,
                     [&shell] { shell->actions.perform(MenuAction::OpenApp); });
    // A new image is in place: end, and let a waiter start it once this process is gone.
    QObject::connect(&updates, &UpdateController::relaunchRequested, &app, [](const QString &program) {
        if (!Updater::relaunchAfterExit(program, QCoreApplication::applicationPid()))
            qCWarning(programLog) << "could not arrange the relaunch of" << program;
        QCoreApplication::quit();
    });

    // The window opens at every start but the login item's, which stays quiet only
    // when the set-up is done and a tray item can bring the window back.
    const LaunchInputs launch{QCoreApplication::arguments().contains(QLatin1String(autostartArgument)),
                              appState->state().onboardingComplete(), shell->trayHost.isAvailable()};
    if (opensMainWindowAtLaunch(launch))
        shell->actions.perform(MenuAction::OpenApp);

    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (const auto notice = shortcutsUnavailableNotice(environment)) {
        qCWarning(programLog).noquote() << *notice;
        // Told once for each kind of session, not at every start.
        SettingsStore &settings = appState->state().defaults();
        const QString sessionType = noticeSessionType(environment);
        QStringList shown = settings.stringListValue(sessionNoticeShownKey()).value_or(QStringList());
        if (sessionNoticeDue(sessionType, shown)) {
            postDesktopNotice(QStringLiteral("Global shortcuts are unavailable"), *notice);
            shown.append(sessionType);
            settings.setValue(sessionNoticeShownKey(), shown);
        }
    }

    const int status = app.exec();

    // Ours ends in order: the screens, the state (its stores write as they go), then the
    // platform. Qt Multimedia's PulseAudio engine, torn down after main, can abort inside
    // libpulse when its connection is freed before its loop has run again; nothing is
    // left to save by then, so the process ends here.
    shell.reset();
    appState.reset();
    platform.reset();
    std::fflush(nullptr);
    std::_Exit(status);
}
