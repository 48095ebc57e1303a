import QtQuick
import QtQuick.Controls
import Sorvane

// A five-step bar rating a model on one quality.
Column {
    id: root
    property string label
    property int value: 0
    property bool showsLabel: true

    // One element for assistive technology (the label counts even when hidden).
    readonly property string accessibleLabel: root.label + ", " + root.value + " out of 5 relative to available models"
    readonly property string helpText: root.label + ": " + root.value + " out of 5 relative to the models in Sorvane"

    spacing: 7
    Accessible.role: Accessible.StaticText
    Accessible.name: accessibleLabel
    ToolTip.text: helpText
    ToolTip.visible: hover.hovered
    ToolTip.delay: 600

    HoverHandler { id: hover }

    Eyebrow {
        objectName: "ratingLabel"
        visible: root.showsLabel
        text: root.label
        size: 9
        tracking: 1.1
        color: Colors.sorvaneMuted
    }
    Row {
        spacing: 3
        Repeater {
            model: 5
            RoundedBox {
                required property int index
                readonly property bool filled: root.value >= index + 1
                objectName: "ratingBar" + index
                width: 12
                height: 4
                radius: 2
                fill: filled ? Colors.sorvane : Qt.alpha(Colors.sorvane, 0.14)
            }
        }
    }
}
