#pragma once

#include "State/AppState.h"
#include "Services/Shell/UpdateController.h"

#include "Shell/ShellMenus.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>

namespace sorvane {

class ShellActions;

// The main window's menu bar for QML: the groups with their shown entries, drawn
// again whenever a value they depend on changes.
class MainMenuModel : public QObject {
    Q_OBJECT
    // [{title, entries: [{title, enabled, action, separator, shortcut}]}]
    Q_PROPERTY(QVariantList groups READ groups NOTIFY groupsChanged)
    Q_PROPERTY(int quitAction READ quitAction CONSTANT)
    // The application's name, version and build, as "About Sorvane" shows them.
    Q_PROPERTY(QString aboutVersion READ aboutVersion CONSTANT)

public:
    MainMenuModel(AppState *state, UpdateController *updates, ShellActions *actions, QObject *parent = nullptr);

    void setState(AppState *state);
    QVariantList groups() const { return m_groups; }
    int quitAction() const { return int(MenuAction::Quit); }
    static QString aboutVersion();
    QList<MenuGroup> currentMenu() const;

    Q_INVOKABLE void trigger(int action);

Q_SIGNALS:
    void groupsChanged();
    // "About Sorvane" was chosen: the window the menu bar belongs to shows it.
    void aboutRequested();

private:
    void refresh();

    QPointer<AppState> m_state;
    QPointer<UpdateController> m_updates;
    ShellActions *m_actions;
    QVariantList m_groups;
    QList<QMetaObject::Connection> m_stateConnections;
};

} // namespace sorvane
