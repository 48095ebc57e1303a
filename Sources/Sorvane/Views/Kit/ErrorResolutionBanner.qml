import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// Why the last action failed, with a way to dismiss it.
Item {
    id: root
    property string message
    signal dismiss()

    Accessible.role: Accessible.AlertMessage
    Accessible.name: "Why the last action failed"
    Accessible.description: message

    implicitHeight: Math.max(52, row.implicitHeight + 16)
    implicitWidth: row.implicitWidth + 28

    RoundedBox {
        anchors.fill: parent
        radius: 13
        fill: Qt.alpha(Colors.sorvaneError, 0.08)
        stroke: Qt.alpha(Colors.sorvaneError, 0.2)
        strokeWidth: 0.8
    }

    RowLayout {
        id: row
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        spacing: 11

        SymbolIcon {
            name: "exclamationmark.triangle.fill"
            size: 14
            color: Colors.sorvaneError
        }
        Column {
            spacing: 2
            // As wide as the message's one line where the banner has room, narrower
            // where it has not, down to two wrapped lines. Rounded up: the layout gives
            // whole pixels, and a fraction short of the text's width wrapped its last word.
            readonly property real oneLineWidth: Math.ceil(Math.max(heading.implicitWidth, messageText.implicitWidth))
            Layout.fillWidth: true
            Layout.maximumWidth: oneLineWidth
            Text {
                id: heading
                objectName: "heading"
                text: "Why the last action failed"
                font: Fonts.font(11.5, Font.Bold)
                color: Colors.primary
            }
            Text {
                id: messageText
                objectName: "message"
                width: parent.width
                text: root.message
                font: Fonts.font(11)
                color: Colors.secondary
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
        }
        // Flexible, never narrower than 12, so the button keeps away from the text.
        Item {
            objectName: "spacer"
            Layout.fillWidth: true
            Layout.minimumWidth: 12
        }
        T.Button {
            id: dismissButton
            objectName: "dismissButton"
            Accessible.role: Accessible.Button
            Accessible.name: "Dismiss"
            Accessible.onPressAction: root.dismiss()
            implicitWidth: contentItem.implicitWidth
            implicitHeight: contentItem.implicitHeight + 8
            contentItem: Text {
                text: "Dismiss"
                font: Fonts.font(10.5, Font.DemiBold)
                color: Colors.primary
                verticalAlignment: Text.AlignVCenter
            }
            onClicked: root.dismiss()
        }
    }
}
