import QtQuick
import Sorvane

// One fact of the home screen: a small label above its value, both at natural width.
Column {
    property string label
    property string value
    spacing: 8

    Eyebrow {
        objectName: "factLabel"
        text: parent.label
        size: 10
        tracking: 1.4
        color: Colors.sorvaneMuted
    }
    Text {
        objectName: "factValue"
        text: parent.value
        font: Fonts.font(19, Font.DemiBold)
        color: Colors.primary
        maximumLineCount: 1
    }
}
