#pragma once

#include "State/AppState.h"
#include "Services/Shell/ApplicationLocationController.h"
#include "Services/Shell/UpdateController.h"
#include "MainMenuModel.h"

#include "Platform/WindowActivation.h"

#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QUrl>
#include <functional>
#include <memory>

class QQmlEngine;

namespace sorvane {


// The program's two windows, each made when it is first shown: the main window (its
// menu bar and the main window's root view) and the update window. A closed main
// window is hidden and then let go, so an idle program holds no window; showing it
// again makes a new one. Every time the main window comes on screen, and every time
// the program becomes the active one, the state re-reads its permissions.
class ShellWindows : public QObject, public WindowActivation {
    Q_OBJECT
    // What the main window says the first time it is closed without a tray.
    Q_PROPERTY(QString keepsRunningTitle READ keepsRunningTitle CONSTANT)
    Q_PROPERTY(QString keepsRunningMessage READ keepsRunningMessage CONSTANT)
public:
    ShellWindows(UpdateController *updates, ApplicationLocationController *location, QObject *parent = nullptr);
    ~ShellWindows() override;

    void setState(AppState *state);
    void setMenus(MainMenuModel *menus) { m_menus = menus; }
    // Whether a tray item can bring the window back now; none means it can.
    void setTrayAvailable(std::function<bool()> trayAvailable) { m_trayAvailable = std::move(trayAvailable); }

    // Asked by the main window as it closes: true (once, remembered in the settings)
    // when it should stay and first say that Sorvane keeps running.
    Q_INVOKABLE bool explainsClose();
    QString keepsRunningTitle() const;
    QString keepsRunningMessage() const;

    // The root view the main window shows: the main window's own when the screens have
    // one, else an empty item named "rootView".
    static QUrl rootViewUrl();

    void activateApplication() override;
    bool raiseMainWindow() override;

    QQuickWindow *mainWindow() const { return m_mainWindow; }
    QQuickWindow *updateWindow() const { return m_updateWindow; }
    QQmlEngine *engine();

Q_SIGNALS:
    void mainWindowShown();
    void mainWindowClosed();

private:
    QQuickWindow *makeWindow(const QString &file, const QVariantMap &properties);
    void ensureMainWindow();
    void showUpdateWindow();
    void refreshPermissions();

    QPointer<AppState> m_state;
    QPointer<UpdateController> m_updates;
    QPointer<ApplicationLocationController> m_location;
    QPointer<MainMenuModel> m_menus;
    std::function<bool()> m_trayAvailable;
    bool m_closeExplained = false;
    std::unique_ptr<QQmlEngine> m_engine;
    QPointer<QQuickWindow> m_mainWindow;
    QPointer<QQuickWindow> m_updateWindow;
};

} // namespace sorvane
