#pragma once

#include "Shell/ShellMenus.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

namespace sorvane {

class ShellActions;
class TrayAppearance;

// The tray item with its fixed menu, built once. Every entry but Quit runs its action
// on a later turn of the event loop; a click on the item itself opens the main window.
class TrayController : public QObject {
    Q_OBJECT
public:
    TrayController(bool updatesConfigured, ShellActions *actions, QObject *parent = nullptr);
    ~TrayController() override;

    void show();
    QSystemTrayIcon &icon() { return m_icon; }
    QMenu &menu() { return *m_menu; }

private:
    void refreshGlyph();

    ShellActions *m_actions;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon m_icon;
    TrayAppearance *m_appearance;
};

} // namespace sorvane
