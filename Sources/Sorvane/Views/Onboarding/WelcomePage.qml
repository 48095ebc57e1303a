import QtQuick
import QtQuick.Layouts
import Sorvane

// The first page: what Sorvane is, and a picture with the two Dictation shortcuts as
// they are set now.
RowLayout {
    id: root
    objectName: "welcomePage"
    spacing: 70

    ColumnLayout {
        Layout.alignment: Qt.AlignVCenter
        spacing: 26
        Text {
            text: "PRIVATE BY DESIGN"
            font: {
                const f = Fonts.font(11, Font.Bold)
                f.letterSpacing = 1.8
                return f
            }
            color: Colors.secondary
        }
        Text {
            objectName: "welcomeHeadline"
            text: "Speak freely.\nNothing leaves."
            font: {
                const f = Fonts.font(52, Font.Bold)
                f.letterSpacing = -1.8
                return f
            }
            lineHeight: 0.92
            color: Colors.primary
        }
        Text {
            Layout.maximumWidth: 450
            Layout.preferredWidth: 450
            text: "Sorvane gives you Dictation and Command in every app. Dictation and local models stay on your computer; optional cloud models use your own provider API keys."
            font: Fonts.font(16)
            color: Colors.secondary
            wrapMode: Text.WordWrap
            lineHeight: 1.3
        }
    }

    RoundedBox {
        Layout.alignment: Qt.AlignVCenter
        Layout.preferredWidth: 330
        Layout.preferredHeight: 350
        radius: 44
        fill: Colors.sorvane

        Column {
            anchors.centerIn: parent
            spacing: 26
            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 92
                height: 92
                radius: 46
                color: Colors.sorvaneSignal
                SymbolIcon {
                    anchors.centerIn: parent
                    name: "waveform"
                    size: 34
                    color: Colors.sorvane
                }
            }
            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 6
                Repeater {
                    model: 13
                    Rectangle {
                        required property int index
                        anchors.verticalCenter: parent.verticalCenter
                        width: 5
                        height: (7 * index) % 28 + 12
                        radius: 2.5
                        color: Qt.alpha("white", 0.9)
                    }
                }
            }
            Column {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 5
                Row {
                    spacing: 6
                    SymbolIcon { name: "keyboard"; size: 11; color: Qt.alpha("white", 0.72); anchors.verticalCenter: parent.verticalCenter }
                    Text {
                        objectName: "toggleShortcutLabel"
                        text: appState ? ModelScreens.shortcutLabel(appState.toggleShortcut, "Toggle") : ""
                        font: Fonts.font(11, Font.Bold)
                        color: Qt.alpha("white", 0.72)
                    }
                }
                Row {
                    spacing: 6
                    SymbolIcon { name: "hand.tap.fill"; size: 11; color: Qt.alpha("white", 0.72); anchors.verticalCenter: parent.verticalCenter }
                    Text {
                        objectName: "holdShortcutLabel"
                        text: appState ? ModelScreens.shortcutLabel(appState.pushToTalkShortcut, "Hold") : ""
                        font: Fonts.font(11, Font.Bold)
                        color: Qt.alpha("white", 0.72)
                    }
                }
            }
        }
    }
}
