#include "MainMenuModel.h"

#include "State/AppState.h"
#include "Services/Shell/UpdateController.h"
#include "ShellActions.h"
#include "Settings/SettingsTexts.h"
#include "BuildConfig.h"

namespace sorvane {

MainMenuModel::MainMenuModel(AppState *state, UpdateController *updates, ShellActions *actions, QObject *parent)
    : QObject(parent), m_updates(updates), m_actions(actions)
{
    if (m_updates)
        connect(m_updates, &UpdateController::canCheckForUpdatesChanged, this, &MainMenuModel::refresh);
    setState(state);
}

void MainMenuModel::setState(AppState *state)
{
    for (const auto &connection : std::as_const(m_stateConnections))
        disconnect(connection);
    m_stateConnections.clear();
    m_state = state;
    if (m_state) {
        for (auto signal : {&AppState::statusChanged, &AppState::agentPhaseChanged, &AppState::toggleShortcutChanged,
                            &AppState::cancelShortcutChanged, &AppState::agentShortcutChanged,
                            &AppState::agentScreenshotShortcutChanged, &AppState::selectedAgentModelChanged,
                            &AppState::activeAgentConversationIDChanged})
            m_stateConnections.append(connect(m_state, signal, this, &MainMenuModel::refresh));
    }
    refresh();
}

QList<MenuGroup> MainMenuModel::currentMenu() const
{
    MenuInputs in;
    if (m_state)
        in = menuInputs(*m_state, m_updates);
    else
        in.canCheckForUpdates = m_updates && m_updates->canCheckForUpdates();
    return mainMenu(in);
}

void MainMenuModel::refresh()
{
    QVariantList groups;
    for (const MenuGroup &group : currentMenu()) {
        QVariantList entries;
        for (const MenuEntry &entry : group.entries) {
            if (!entry.shown)
                continue;
            entries.append(QVariantMap{{QStringLiteral("title"), entry.title},
                                       {QStringLiteral("enabled"), entry.enabled},
                                       {QStringLiteral("action"), int(entry.action)},
                                       {QStringLiteral("separator"), entry.isSeparator()},
                                       {QStringLiteral("shortcut"), entry.shortcut}});
        }
        groups.append(QVariantMap{{QStringLiteral("title"), group.title}, {QStringLiteral("entries"), entries}});
    }
    if (groups == m_groups)
        return;
    m_groups = groups;
    Q_EMIT groupsChanged();
}

QString MainMenuModel::aboutVersion()
{
    return SettingsTexts::buildLabel(QStringLiteral(SORVANE_VERSION), QStringLiteral(SORVANE_BUILD));
}

void MainMenuModel::trigger(int action)
{
    if (MenuAction(action) == MenuAction::About) {
        Q_EMIT aboutRequested();
        return;
    }
    if (m_actions)
        m_actions->perform(MenuAction(action));
}

} // namespace sorvane
