import QtQuick
import QtQuick.Templates as T
import Sorvane

// One section of the sidebar; the whole rounded rectangle takes the click.
T.Button {
    id: control
    property string title
    property bool selected: false
    readonly property string accessibilityValue: MainScreens.sectionAccessibilityValue(selected)

    implicitWidth: 212
    implicitHeight: Math.max(46, label.implicitHeight)
    leftPadding: 14
    rightPadding: 14
    topPadding: 0
    bottomPadding: 0
    focusPolicy: Qt.TabFocus
    Accessible.name: title
    Accessible.onPressAction: control.clicked()
    Accessible.description: accessibilityValue

    contentItem: Text {
        id: label
        objectName: "sectionTitle"
        text: control.title
        font: Fonts.font(15, control.selected ? Font.DemiBold : Font.Medium)
        color: control.selected ? Colors.sorvaneBrightPaper : Qt.alpha(Colors.primary, 0.72)
        verticalAlignment: Text.AlignVCenter
        horizontalAlignment: Text.AlignLeft
        maximumLineCount: 1
    }

    background: RoundedBox {
        radius: 12
        fill: control.selected ? Colors.sorvane : (control.down ? Qt.alpha(Colors.sorvane, 0.05) : "transparent")
    }
}
