import QtQuick
import QtQuick.Controls
import Sorvane

// One turn of the conversation: who spoke, the text (selectable), and its attachments.
RoundedBox {
    id: bubble
    property string sender
    property string text
    property bool isUser: false
    property var attachments: []

    radius: 13
    fill: isUser ? Qt.alpha(Colors.sorvaneSignal, 0.12) : Qt.alpha(Colors.primary, 0.045)
    implicitHeight: column.implicitHeight + 24

    Column {
        id: column
        x: 12
        y: 12
        width: bubble.width - 24
        spacing: 7

        Text {
            objectName: "senderLabel"
            // Read out by screen readers, as the message below it.
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            anchors.right: bubble.isUser ? parent.right : undefined
            text: bubble.sender
            font.family: Fonts.monospaced(8, Font.Bold).family
            font.pixelSize: 8
            font.weight: Font.Bold
            font.letterSpacing: 0.8
            color: Colors.secondary
        }
        TextEdit {
            id: messageText
            objectName: "messageText"
            Accessible.role: Accessible.StaticText
            Accessible.name: bubble.text
            width: parent.width
            // A streaming answer only grows: its new end is added to what is laid out
            // already, so a delta costs the same late in a long answer as early.
            property string shown: ""
            function follow() {
                const next = bubble.text
                if (next.length > shown.length && shown.length > 0 && next.startsWith(shown))
                    insert(length, next.slice(shown.length))
                else
                    text = next
                shown = next
            }
            Component.onCompleted: follow()
            Connections {
                target: bubble
                function onTextChanged() { messageText.follow() }
            }
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            textFormat: TextEdit.PlainText
            horizontalAlignment: bubble.isUser ? TextEdit.AlignRight : TextEdit.AlignLeft
            font: Fonts.font(12.5)
            color: Colors.primary
            selectionColor: Qt.alpha(Colors.sorvaneSignal, 0.6)
            selectedTextColor: Colors.primary
        }
        Row {
            anchors.right: bubble.isUser ? parent.right : undefined
            visible: bubble.attachments.length > 0
            spacing: 6
            Repeater {
                model: bubble.attachments
                RoundedBox {
                    objectName: "attachmentChip"
                    capsule: true
                    fill: Qt.alpha(Colors.primary, 0.06)
                    width: chip.implicitWidth + 16
                    height: chip.implicitHeight + 10
                    Row {
                        id: chip
                        anchors.centerIn: parent
                        spacing: 4
                        SymbolIcon {
                            anchors.verticalCenter: parent.verticalCenter
                            name: modelData.symbol
                            size: 9.5
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: modelData.displayName
                            font: Fonts.font(9.5, Font.DemiBold)
                            color: Colors.primary
                        }
                    }
                }
            }
        }
    }
}
