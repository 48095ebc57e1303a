#include "Shell/ShellMenus.h"

#include "State/AppState.h"
#include "Services/Shell/UpdateController.h"
#include "Shell/SessionNotice.h"

namespace sorvane {

QList<MenuGroup> mainMenu(const MenuInputs &in)
{
    auto withShortcut = [&in](const QString &title, const QString &shortcut) -> QString {
        if (!in.globalShortcutsAvailable)
            return title + QStringLiteral(" (global shortcuts unavailable)");
        return title + QStringLiteral(" (") + shortcut + QLatin1Char(')');
    };
    MenuGroup application{QStringLiteral("Sorvane"),
                          {{QStringLiteral("About Sorvane"), MenuAction::About},
                           {QStringLiteral("Check for Updates\u2026"), MenuAction::CheckForUpdates, in.canCheckForUpdates},
                           {{}, MenuAction::None},
                           {QStringLiteral("Quit Sorvane"), MenuAction::Quit, true, true, QStringLiteral("Ctrl+Q")}}};
    MenuGroup dictation{
        QStringLiteral("Dictation"),
        {{withShortcut(in.recording ? QStringLiteral("Finish Dictation") : QStringLiteral("Start Dictation"),
                       in.toggleShortcut),
          MenuAction::ToggleRecording},
         {withShortcut(QStringLiteral("Cancel Dictation"), in.cancelShortcut), MenuAction::CancelRecording, in.recording},
         {QStringLiteral("Cancel Recording"), MenuAction::CancelRecording, in.recording}}};
    MenuGroup command{
        QStringLiteral("Command"),
        {{in.agentListening ? QStringLiteral("Finish Command Recording")
                            : withShortcut(QStringLiteral("Start Command"), in.agentShortcut),
          MenuAction::ToggleAgent},
         {withShortcut(QStringLiteral("Start Command with Screenshot"), in.agentScreenshotShortcut),
          MenuAction::ToggleAgentWithScreenshot, true, in.selectedAgentModelTakesImages},
         {QStringLiteral("Open Current Conversation"), MenuAction::OpenCurrentConversation, in.hasActiveConversation}}};
    return {application, dictation, command};
}

QList<MenuEntry> statusMenu(bool updatesConfigured)
{
    return {{QStringLiteral("Start or stop dictation"), MenuAction::ToggleRecording},
            {QStringLiteral("Start or stop Command"), MenuAction::ToggleAgent},
            {QStringLiteral("Open Sorvane"), MenuAction::OpenApp},
            {{}, MenuAction::None},
            {QStringLiteral("Check for Updates\u2026"), MenuAction::CheckForUpdates, updatesConfigured},
            {{}, MenuAction::None},
            {QStringLiteral("Quit Sorvane"), MenuAction::Quit, true, true, QStringLiteral("Ctrl+Q")}};
}

MenuInputs menuInputs(const AppState &state, const UpdateController *updates)
{
    MenuInputs in;
    in.recording = state.status().kind() == CaptureStatus::Kind::Recording;
    in.agentListening = state.agentPhase() == AgentPhase::Listening;
    in.toggleShortcut = state.toggleShortcut().displayName();
    in.cancelShortcut = state.cancelShortcut().displayName();
    in.agentShortcut = state.agentShortcut().displayName();
    in.agentScreenshotShortcut = state.agentScreenshotShortcut().displayName();
    const auto model = state.selectedAgentModel();
    in.selectedAgentModelTakesImages = model && model->takesImages();
    in.hasActiveConversation = state.activeAgentConversationID().has_value();
    in.canCheckForUpdates = updates && updates->canCheckForUpdates();
    in.globalShortcutsAvailable = !shortcutsUnavailableNotice(QProcessEnvironment::systemEnvironment()).has_value();
    return in;
}

} // namespace sorvane
