import QtQuick
import Sorvane

// The small tracked capitals above sections: `text` is shown upper-cased in the
// monospaced font at `size`, tracked by `tracking`.
Item {
    id: root
    property string text
    property real size: 10
    property real tracking: 1
    property color color: Colors.sorvaneMuted
    readonly property string shownText: label.text

    implicitWidth: label.implicitWidth
    implicitHeight: label.implicitHeight

    Text {
        id: label
        objectName: "eyebrowText"
        text: root.text.toUpperCase()
        font: {
            const f = Fonts.monospaced(root.size, Font.Bold)
            f.letterSpacing = root.tracking
            return f
        }
        color: root.color
    }
}
