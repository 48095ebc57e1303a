#pragma once

#include "State/AppState.h"
#include "Services/Shell/UpdateController.h"

#include "Shell/ShellMenus.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace sorvane {


// What each menu entry does, for both menus. The tray menu's entries run on a later
// turn of the event loop; the menu bar's run at once.
class ShellActions : public QObject {
    Q_OBJECT
public:
    // `openApp` brings the main window forward when there is no state to ask.
    ShellActions(AppState *state, UpdateController *updates, std::function<void()> openApp, QObject *parent = nullptr);

    void setState(AppState *state) { m_state = state; }
    void perform(MenuAction action);
    void performLater(MenuAction action);

Q_SIGNALS:
    // Quit was chosen; the program ends.
    void quitRequested();

private:
    QPointer<AppState> m_state;
    QPointer<UpdateController> m_updates;
    std::function<void()> m_openApp;
};

} // namespace sorvane
