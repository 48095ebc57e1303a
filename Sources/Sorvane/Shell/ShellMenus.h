#pragma once

#include <QList>
#include <QString>

namespace sorvane {

class AppState;
class UpdateController;

// What a menu entry does.
enum class MenuAction {
    None, // a separator
    About,
    CheckForUpdates,
    ToggleRecording,
    CancelRecording,
    ToggleAgent,
    ToggleAgentWithScreenshot,
    OpenCurrentConversation,
    OpenApp,
    Quit,
};

struct MenuEntry {
    QString title;
    MenuAction action = MenuAction::None;
    bool enabled = true;
    bool shown = true;
    QString shortcut; // a key sequence of the menu itself ("Ctrl+Q"), empty for none
    bool isSeparator() const { return action == MenuAction::None; }
    friend bool operator==(const MenuEntry &, const MenuEntry &) = default;
};

struct MenuGroup {
    QString title;
    QList<MenuEntry> entries;
};

// The values the menus are drawn from.
struct MenuInputs {
    bool recording = false;      // Dictation status is recording
    bool agentListening = false; // the Command phase is listening
    QString toggleShortcut;      // display names of the shortcuts
    QString cancelShortcut;
    QString agentShortcut;
    QString agentScreenshotShortcut;
    bool selectedAgentModelTakesImages = false; // false too when there is no selected model
    bool hasActiveConversation = false;
    bool canCheckForUpdates = false;
    // False where the session cannot have global shortcuts: the entries say so instead
    // of naming keys that do nothing.
    bool globalShortcutsAvailable = true;
};

// The main window's menu bar: the application menu ("About Sorvane", "Check for
// Updates…" and "Quit Sorvane"), "Dictation" and "Command", every entry with its state.
QList<MenuGroup> mainMenu(const MenuInputs &inputs);

// The tray item's menu. It is built once; "Check for Updates…" is enabled as the
// updater's configuration was at that moment.
QList<MenuEntry> statusMenu(bool updatesConfigured);

// The inputs as the application state and the update controller hold them now.
MenuInputs menuInputs(const AppState &state, const UpdateController *updates);

} // namespace sorvane
