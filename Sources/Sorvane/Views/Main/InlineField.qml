import QtQuick
import QtQuick.Templates as T
import Sorvane

// The borderless entry field of the main window's screens: a faint ink-tinted rounded
// box with the text inset 16 on both sides and an optional leading symbol.
RoundedBox {
    id: root
    property alias text: input.text
    property alias placeholder: placeholderText.text
    property real fontSize: 15
    property string symbolName
    property real symbolSize: 14
    readonly property alias input: input
    signal submitted()

    implicitHeight: 44
    radius: 12
    fill: Qt.alpha(Colors.sorvane, 0.05)

    Row {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        spacing: 10

        SymbolIcon {
            id: symbol
            objectName: "fieldSymbol"
            anchors.verticalCenter: parent.verticalCenter
            visible: root.symbolName !== ""
            name: root.symbolName
            size: root.symbolSize
            color: Colors.sorvaneMuted
        }

        T.TextField {
            id: input
            objectName: "fieldInput"
            width: row.width - (symbol.visible ? symbol.width + row.spacing : 0)
            height: row.height
            padding: 0
            font: Fonts.font(root.fontSize)
            color: Colors.primary
            selectionColor: Qt.alpha(Colors.sorvaneSignal, 0.9)
            selectedTextColor: Colors.sorvane
            verticalAlignment: TextInput.AlignVCenter
            selectByMouse: true
            onAccepted: root.submitted()

            Text {
                id: placeholderText
                objectName: "fieldPlaceholder"
                anchors.fill: parent
                verticalAlignment: Text.AlignVCenter
                visible: input.text.length === 0 && !input.preeditText
                font: input.font
                color: Qt.alpha(Colors.primary, 0.3)
                elide: Text.ElideRight
            }
        }
    }
}
