import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// The Shortcuts tab: the five global shortcuts, the regular Command prompt and the
// Command profiles, each with its own shortcut. Everything is read from and written to
// the state; a shortcut the system refused says why under its recorder.
ColumnLayout {
    id: area
    objectName: "shortcutsArea"
    property var screen: null
    spacing: 0

    // Re-read when the refusals change.
    function refusalOf(shortcut) {
        return appState.refusedShortcuts, appState.shortcutRefusalReason(shortcut)
    }

    SettingsRow {
        objectName: "toggleRow"
        Layout.fillWidth: true
        title: "Dictate"
        detail: "Start or finish from any app"
        ShortcutRecorder {
            objectName: "toggleRecorder"
            accessibleName: "Dictate shortcut"
            shortcut: appState.toggleShortcut
            refusal: area.refusalOf(appState.toggleShortcut)
            onRecorded: (value) => appState.toggleShortcut = value
        }
    }
    SettingsRow {
        objectName: "pushToTalkRow"
        Layout.fillWidth: true
        title: "Push to talk"
        detail: "Hold while speaking, release to transcribe"
        ShortcutRecorder {
            objectName: "pushToTalkRecorder"
            accessibleName: "Push to talk shortcut"
            shortcut: appState.pushToTalkShortcut
            refusal: area.refusalOf(appState.pushToTalkShortcut)
            onRecorded: (value) => appState.pushToTalkShortcut = value
        }
    }
    SettingsRow {
        objectName: "agentRow"
        Layout.fillWidth: true
        title: "Command"
        detail: "Speak an instruction about the selected text"
        ShortcutRecorder {
            objectName: "agentRecorder"
            accessibleName: "Command shortcut"
            shortcut: appState.agentShortcut
            refusal: area.refusalOf(appState.agentShortcut)
            onRecorded: (value) => appState.agentShortcut = value
        }
    }
    SettingsRow {
        objectName: "agentScreenshotRow"
        Layout.fillWidth: true
        visible: SettingsAreaRules.showsScreenshotShortcut(appState.selectedAgentModel)
        title: "Command with screenshot"
        detail: "Capture the target window first"
        ShortcutRecorder {
            objectName: "agentScreenshotRecorder"
            accessibleName: "Command with screenshot shortcut"
            shortcut: appState.agentScreenshotShortcut
            refusal: area.refusalOf(appState.agentScreenshotShortcut)
            onRecorded: (value) => appState.agentScreenshotShortcut = value
        }
    }
    SettingsRow {
        objectName: "cancelRow"
        Layout.fillWidth: true
        title: "Cancel"
        detail: "Discard the active recording"
        ShortcutRecorder {
            objectName: "cancelRecorder"
            accessibleName: "Cancel shortcut"
            requiresModifier: false
            shortcut: appState.cancelShortcut
            refusal: area.refusalOf(appState.cancelShortcut)
            onRecorded: (value) => appState.cancelShortcut = value
        }
    }

    // The regular Command prompt.
    Item {
        objectName: "regularCommandPrompt"
        Layout.fillWidth: true
        implicitHeight: promptColumn.implicitHeight + 48 + 1
        ColumnLayout {
            id: promptColumn
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.topMargin: 24
            spacing: 14
            ColumnLayout {
                spacing: 5
                Layout.fillWidth: true
                Text {
                    text: "Regular Command system prompt"
                    font: Fonts.font(17, Font.DemiBold)
                    color: Colors.primary
                }
                Text {
                    Layout.fillWidth: true
                    text: "Additional instructions for Command and Command with screenshot. Profiles keep their own prompts."
                    font: Fonts.font(13.5)
                    color: Colors.sorvaneMuted
                    wrapMode: Text.Wrap
                }
            }
            PromptEditor {
                objectName: "regularPromptEditor"
                Layout.fillWidth: true
                value: appState.agentSettings.regularCommandPrompt
                placeholder: "e.g. \u201cWrite in a concise, warm tone. Prefer short paragraphs and no sign-off unless asked.\u201d"
                accessibleName: "Regular Command system prompt"
                onEdited: (text) => appState.agentSettings = SettingsAreaRules.withRegularPrompt(appState.agentSettings, text)
            }
        }
        Hairline {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            lineOpacity: 0.1
        }
    }

    // The Command profiles.
    PromptProfileListModel {
        id: profiles
        stateObject: appState
    }
    Item {
        objectName: "commandProfiles"
        Layout.fillWidth: true
        implicitHeight: profilesColumn.implicitHeight + 1
        ColumnLayout {
            id: profilesColumn
            anchors.left: parent.left
            anchors.right: parent.right
            spacing: 0
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 24
                Layout.bottomMargin: 24
                spacing: 24
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 5
                    Text {
                        text: "Command profiles"
                        font: Fonts.font(17, Font.DemiBold)
                        color: Colors.primary
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "Extra Command shortcuts, each with its own writing instructions"
                        font: Fonts.font(13.5)
                        color: Colors.sorvaneMuted
                        wrapMode: Text.Wrap
                    }
                }
                BorderedRowButton {
                    objectName: "addProfile"
                    title: "Add profile"
                    buttonHeight: 40
                    horizontalPadding: 18
                    cornerRadius: 11
                    fontSize: 14
                    disabled: !SettingsAreaRules.canAddProfile(appState.agentSettings)
                    onClicked: appState.addPromptProfile()
                }
            }
            ColumnLayout {
                objectName: "profileEditors"
                Layout.fillWidth: true
                Layout.bottomMargin: profiles.count > 0 ? 24 : 0
                visible: profiles.count > 0
                spacing: 14
                Repeater {
                    model: profiles
                    delegate: ProfileEditor {
                        required property string profileId
                        required property string name
                        required property string prompt
                        required property var shortcut
                        objectName: "profileEditor_" + index
                        required property int index
                        Layout.fillWidth: true
                        profileName: name
                        profilePrompt: prompt
                        profileShortcut: shortcut
                        refusal: area.refusalOf(shortcut)
                        onNameEdited: (text) => profiles.setName(profileId, text)
                        onPromptEdited: (text) => profiles.setPrompt(profileId, text)
                        onShortcutRecorded: (value) => profiles.setShortcut(profileId, value)
                        onRemoveRequested: profiles.remove(profileId)
                    }
                }
            }
        }
        Hairline {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            lineOpacity: 0.1
        }
    }

    Text {
        objectName: "conflictText"
        Layout.fillWidth: true
        Layout.topMargin: 20
        visible: appState.agentShortcutConflicts.length > 0
        text: "Two global shortcuts conflict. Record a unique combination."
        font: Fonts.font(13.5, Font.Medium)
        color: Colors.sorvaneError
        wrapMode: Text.Wrap
    }
}
