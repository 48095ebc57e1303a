import QtQuick
import QtQuick.Controls
import QtQuick.Templates as T
import Sorvane

// The row that announces an update in progress; a click hands over to the updater.
T.Button {
    id: control
    property string label

    implicitWidth: 204
    implicitHeight: Math.max(32, row.implicitHeight)
    leftPadding: 10
    rightPadding: 10
    topPadding: 0
    bottomPadding: 0
    focusPolicy: Qt.TabFocus
    hoverEnabled: true
    Accessible.name: label
    Accessible.onPressAction: control.clicked()

    contentItem: Row {
        id: row
        spacing: 9
        StatusDot {
            anchors.verticalCenter: parent.verticalCenter
            active: true
            size: 6
        }
        Text {
            objectName: "updateLabel"
            anchors.verticalCenter: parent.verticalCenter
            width: Math.min(implicitWidth, control.availableWidth - 15)
            text: control.label
            font: Fonts.font(12, Font.DemiBold)
            color: Colors.primary
            maximumLineCount: 1
            elide: Text.ElideRight
        }
    }

    background: RoundedBox {
        radius: 9
        fill: Qt.alpha(Colors.sorvane, control.down ? 0.09 : 0.055)
    }

    ToolTip.visible: hovered
    ToolTip.text: "Open the secure updater for this Sorvane update"
    ToolTip.delay: 600
}
