import QtQuick
import Sorvane

// The large heading of a screen; its colour comes from the caller.
Text {
    property string title
    text: title
    font: {
        const f = Fonts.font(44, Font.Bold)
        f.letterSpacing = -1.8
        return f
    }
    color: Colors.primary
}
