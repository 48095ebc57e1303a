import QtQuick
import Sorvane

// A 1-pixel separator in ink at the caller's opacity, as wide as it is given.
Rectangle {
    property real lineOpacity: 0.1
    implicitHeight: 1
    height: 1
    color: Qt.alpha(Colors.sorvane, lineOpacity)
}
