import QtQuick
import Sorvane

// The card look behind grouped content: put it behind the content and fill the
// content's area (it adds no margin of its own).
RoundedBox {
    radius: 16
    fill: Qt.alpha(Colors.windowBackground, 0.64)
    stroke: Qt.alpha(Colors.primary, 0.1)
    strokeWidth: 0.8
}
