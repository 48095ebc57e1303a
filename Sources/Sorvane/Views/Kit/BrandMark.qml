import QtQuick
import Sorvane

// The application's mark: signal-coloured voice bars on an ink tile.
RoundedBox {
    id: root
    property real size: 32

    width: size
    height: size
    implicitWidth: size
    implicitHeight: size
    radius: size * 0.23
    fill: Colors.sorvane

    Row {
        anchors.centerIn: parent
        spacing: root.size * 0.07
        Repeater {
            model: [0.34, 0.62, 0.46, 0.78, 0.40]
            Rectangle {
                required property real modelData
                anchors.verticalCenter: parent.verticalCenter
                width: root.size * 0.08
                height: root.size * modelData * 0.8
                radius: width / 2
                color: Colors.sorvaneSignal
                antialiasing: true
            }
        }
    }
}
