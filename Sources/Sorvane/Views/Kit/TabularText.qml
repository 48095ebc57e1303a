import QtQuick

// Text whose digits all take the same width, so a ticking timer or percentage does not
// jiggle (Qt 6.4 cannot switch on the font's own tabular figures).
Row {
    id: root
    property string text
    property font font
    property color color

    FontMetrics {
        id: metrics
        font: root.font
    }
    readonly property real digitWidth: {
        let widest = 0
        for (let d = 0; d <= 9; ++d)
            widest = Math.max(widest, metrics.advanceWidth(String(d)))
        return widest
    }

    Repeater {
        model: root.text.length
        Text {
            required property int index
            readonly property string character: root.text.charAt(index)
            text: character
            font: root.font
            color: root.color
            width: character >= "0" && character <= "9" ? root.digitWidth : implicitWidth
            horizontalAlignment: Text.AlignHCenter
        }
    }
}
