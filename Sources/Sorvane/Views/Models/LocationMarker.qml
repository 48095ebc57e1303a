import QtQuick
import Sorvane

// The small dark tag saying where a model runs ("ON THIS COMPUTER", "VIA API"); with
// `outlined` a light tag with a thin border.
Item {
    id: root
    property string text
    property real size: 9
    property real tracking: 1.1
    property bool outlined: false

    implicitWidth: label.implicitWidth + 18
    implicitHeight: label.implicitHeight + 10

    RoundedBox {
        anchors.fill: parent
        radius: 6
        fill: root.outlined ? "transparent" : Colors.sorvane
        stroke: root.outlined ? Qt.alpha(Colors.sorvane, 0.22) : "transparent"
        strokeWidth: root.outlined ? 1 : 0
    }
    Text {
        id: label
        objectName: "markerText"
        anchors.centerIn: parent
        text: root.text
        font: {
            const f = Fonts.monospaced(root.size, Font.Bold)
            f.letterSpacing = root.tracking
            return f
        }
        color: root.outlined ? Colors.sorvaneMuted : Colors.sorvaneBrightPaper
    }
}
