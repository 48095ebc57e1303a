import QtQuick
import Sorvane

// A small filled circle: signal colour with a faint ring when active, grey otherwise.
RoundedBox {
    property bool active: false
    property real size: 8

    width: size
    height: size
    implicitWidth: size
    implicitHeight: size
    capsule: true
    fill: active ? Colors.sorvaneSignal : Qt.alpha(Colors.secondary, 0.34)
    stroke: active ? Qt.alpha(Colors.sorvane, 0.22) : "transparent"
    strokeWidth: 0.5
}
