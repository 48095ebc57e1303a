import QtQuick
import Sorvane

// A shortcut's name on a faint rounded key.
Item {
    id: root
    property string text
    property real fontSize: 10.5
    property real sidePadding: 8
    property real capHeight: 25
    property color ink: "white"

    implicitWidth: label.implicitWidth + sidePadding * 2
    implicitHeight: capHeight

    RoundedBox {
        anchors.fill: parent
        radius: 7
        fill: Qt.alpha(root.ink, 0.075)
    }
    Text {
        id: label
        objectName: "keyCapText"
        anchors.centerIn: parent
        text: root.text
        font: Fonts.font(root.fontSize, Font.DemiBold)
        color: Qt.alpha(root.ink, 0.64)
    }
}
