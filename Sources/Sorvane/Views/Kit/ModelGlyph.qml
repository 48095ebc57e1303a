import QtQuick
import Sorvane

// A speech model's icon: its symbol in its accent colour on a faint square of it.
Item {
    id: root
    property string modelId
    property real size: 40
    readonly property color accent: Colors.speechModelAccent(modelId)

    width: size
    height: size
    implicitWidth: size
    implicitHeight: size

    RoundedBox {
        objectName: "glyphBackground"
        anchors.fill: parent
        radius: root.size * 0.3
        fill: Qt.alpha(root.accent, 0.18)
    }
    SymbolIcon {
        objectName: "glyphSymbol"
        anchors.centerIn: parent
        name: Symbols.speechModelSymbol(root.modelId)
        size: root.size * 0.4
        color: root.accent
    }
}
