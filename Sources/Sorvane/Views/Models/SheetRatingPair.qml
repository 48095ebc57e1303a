import QtQuick
import Sorvane

// Speed and accuracy of a sheet row: two labelled five-step bars, one element for
// assistive technology.
Grid {
    id: root
    property int speed: 0
    property int quality: 0

    columns: 2
    columnSpacing: 20
    rowSpacing: 7
    Accessible.role: Accessible.StaticText
    Accessible.name: "Speed, " + speed + " out of 5. Accuracy, " + quality + " out of 5."

    Eyebrow { text: "Speed"; size: 9; tracking: 1.1; color: Colors.sorvaneMuted }
    Eyebrow { text: "Accuracy"; size: 9; tracking: 1.1; color: Colors.sorvaneMuted }
    Repeater {
        model: [root.speed, root.quality]
        Row {
            id: bars
            required property int modelData
            required property int index
            objectName: index === 0 ? "speedBars" : "qualityBars"
            readonly property int filledCount: Math.max(0, Math.min(5, modelData))
            spacing: 3
            Repeater {
                model: 5
                RoundedBox {
                    required property int index
                    width: 12
                    height: 4
                    radius: 2
                    fill: bars.modelData >= index + 1 ? Colors.sorvane : Qt.alpha(Colors.sorvane, 0.14)
                }
            }
        }
    }
}
