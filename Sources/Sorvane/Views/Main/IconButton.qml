import QtQuick
import QtQuick.Controls
import QtQuick.Templates as T
import Sorvane

// A plain symbol button with a tooltip (a row's copy, delete and remove actions).
T.Button {
    id: control
    property string symbolName
    property real symbolSize: 17
    property color symbolColor: Qt.alpha(Colors.sorvane, 0.55)
    property string tooltip

    padding: 0
    implicitWidth: contentItem.implicitWidth
    implicitHeight: contentItem.implicitHeight
    focusPolicy: Qt.TabFocus
    hoverEnabled: true
    Accessible.name: tooltip
    Accessible.onPressAction: control.clicked()

    contentItem: SymbolIcon {
        name: control.symbolName
        size: control.symbolSize
        color: control.symbolColor
        opacity: control.down ? 0.6 : 1
    }

    ToolTip.visible: hovered && tooltip !== ""
    ToolTip.text: tooltip
    ToolTip.delay: 600
}
