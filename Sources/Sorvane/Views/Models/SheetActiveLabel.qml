import QtQuick
import Sorvane

// The "ACTIVE" tag at the trailing edge of a row's control slot.
Text {
    objectName: "activeLabel"
    text: "ACTIVE"
    horizontalAlignment: Text.AlignRight
    verticalAlignment: Text.AlignVCenter
    font: {
        const f = Fonts.monospaced(11, Font.Bold)
        f.letterSpacing = 1
        return f
    }
    color: Colors.primary
}
