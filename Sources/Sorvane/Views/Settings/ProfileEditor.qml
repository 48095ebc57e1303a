import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// One Command profile: its name, its shortcut, a remove button and its writing
// instructions, on a bright card.
RoundedBox {
    id: card
    property string profileName
    property string profilePrompt
    property var profileShortcut: null
    property string refusal
    signal nameEdited(string text)
    signal promptEdited(string text)
    signal shortcutRecorded(var value)
    signal removeRequested()

    radius: 14
    fill: Colors.sorvaneBrightPaper
    stroke: Qt.alpha(Colors.sorvane, 0.14)
    strokeWidth: 1
    implicitHeight: column.implicitHeight + 32

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12
        RowLayout {
            Layout.fillWidth: true
            spacing: 12
            RoundedBox {
                Layout.preferredWidth: 220
                Layout.maximumWidth: 220
                Layout.alignment: Qt.AlignVCenter
                implicitHeight: 34
                radius: 9
                fill: Qt.alpha(Colors.sorvane, 0.06)
                T.TextField {
                    id: nameField
                    objectName: "profileName"
                    anchors.fill: parent
                    leftPadding: 12
                    rightPadding: 12
                    verticalAlignment: TextInput.AlignVCenter
                    text: card.profileName
                    font: Fonts.font(14, Font.DemiBold)
                    color: Colors.primary
                    selectByMouse: true
                    placeholderText: "Profile name"
                    placeholderTextColor: Colors.sorvaneMuted
                    Accessible.name: "Command profile name"
                    onTextEdited: card.nameEdited(text)
                }
            }
            Item { Layout.fillWidth: true; Layout.minimumWidth: 12 }
            ShortcutRecorder {
                objectName: "profileRecorder"
                Layout.alignment: Qt.AlignVCenter
                accessibleName: card.profileName + " shortcut"
                shortcut: card.profileShortcut
                refusal: card.refusal
                onRecorded: (value) => card.shortcutRecorded(value)
            }
            T.Button {
                objectName: "removeProfile"
                Layout.alignment: Qt.AlignVCenter
                implicitWidth: 30
                implicitHeight: 30
                focusPolicy: Qt.TabFocus
                Accessible.name: "Remove " + card.profileName + " profile"
                contentItem: SymbolIcon {
                    name: "trash"
                    size: 14
                    color: Colors.sorvaneError
                }
                background: Item {}
                onClicked: card.removeRequested()
            }
        }
        PromptEditor {
            objectName: "profilePrompt"
            Layout.fillWidth: true
            value: card.profilePrompt
            placeholder: "Writing instructions for this profile, e.g. \u201cCasual Slack tone for the team, short sentences, no sign-off.\u201d"
            accessibleName: "Writing instructions for " + card.profileName
            onEdited: (text) => card.promptEdited(text)
        }
    }
}
