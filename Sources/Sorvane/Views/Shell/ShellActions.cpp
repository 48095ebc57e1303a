#include "ShellActions.h"

#include "State/AppState.h"
#include "Services/Shell/UpdateController.h"

#include <QCoreApplication>
#include <QTimer>

namespace sorvane {

ShellActions::ShellActions(AppState *state, UpdateController *updates, std::function<void()> openApp, QObject *parent)
    : QObject(parent), m_state(state), m_updates(updates), m_openApp(std::move(openApp))
{
}

void ShellActions::performLater(MenuAction action)
{
    QTimer::singleShot(0, this, [this, action] { perform(action); });
}

void ShellActions::perform(MenuAction action)
{
    switch (action) {
    case MenuAction::None:
        return;
    case MenuAction::CheckForUpdates:
        if (m_updates)
            m_updates->checkForUpdatesFromMenu();
        return;
    case MenuAction::OpenApp:
        if (m_state)
            m_state->bringMainWindowForward();
        else if (m_openApp)
            m_openApp();
        return;
    case MenuAction::Quit:
        Q_EMIT quitRequested();
        QCoreApplication::quit();
        return;
    default:
        break;
    }
    if (!m_state)
        return;
    switch (action) {
    case MenuAction::ToggleRecording:
        m_state->toggleRecording();
        break;
    case MenuAction::CancelRecording:
        m_state->cancelRecording();
        break;
    case MenuAction::ToggleAgent:
        m_state->toggleAgentRecording(false);
        break;
    case MenuAction::ToggleAgentWithScreenshot:
        m_state->toggleAgentRecording(true);
        break;
    case MenuAction::OpenCurrentConversation:
        if (const auto id = m_state->activeAgentConversationID())
            m_state->openAgentConversation(id->toString(QUuid::WithoutBraces).toUpper());
        break;
    default:
        break;
    }
}

} // namespace sorvane
