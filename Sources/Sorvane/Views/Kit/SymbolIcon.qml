import QtQuick
import Sorvane

// One symbol by its name (see Symbols.cpp for the table), drawn from the icon font
// at `size` logical pixels. An unknown name draws a crossed box so it cannot go unseen.
Item {
    id: root
    property string name
    property real size: 13
    property color color: Colors.primary
    readonly property bool known: Symbols.isKnown(name)

    implicitWidth: size * 1.15
    implicitHeight: size * 1.15

    Text {
        anchors.centerIn: parent
        visible: root.known
        text: Symbols.glyph(root.name)
        font: Fonts.symbol(root.size * 1.15)
        color: root.color
        renderType: Text.QtRendering
    }

    Rectangle {
        objectName: "unknownSymbol"
        anchors.centerIn: parent
        visible: !root.known
        width: root.size * 0.9
        height: width
        color: "transparent"
        border.color: "#e0218a"
        border.width: 1
        Rectangle {
            anchors.centerIn: parent
            width: parent.width * 1.3
            height: 1
            rotation: 45
            color: "#e0218a"
        }
    }
}
