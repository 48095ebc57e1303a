import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// One model of a picker sheet: selection dot, name and detail, ratings, size and
// status, and the trailing control chosen by the sheet (a download's bar, "ACTIVE",
// or a button). A right click opens `menuTitle` when there is one.
Rectangle {
    id: root
    property bool selected: false
    property string name
    property string detail
    property int speed: 0
    property int quality: 0
    property string size
    property string status
    property int control: ModelScreens.getControl
    property string controlTitle
    property real progress: 0
    // The context menu's one item, empty for none.
    property string menuTitle
    signal actionClicked()
    signal menuTriggered()

    implicitHeight: row.implicitHeight + 36
    color: selected ? Qt.alpha(Colors.sorvaneSignal, 0.22) : "transparent"
    Accessible.role: Accessible.ListItem
    Accessible.name: name
    Accessible.description: status

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 36
        anchors.rightMargin: 36
        anchors.topMargin: 18
        anchors.bottomMargin: 18
        spacing: 18

        Rectangle {
            objectName: "selectionDot"
            Layout.preferredWidth: 8
            Layout.preferredHeight: 8
            radius: 4
            color: root.selected ? Colors.sorvane : "transparent"
            border.width: root.selected ? 0 : 1
            border.color: Qt.alpha(Colors.sorvane, 0.25)
        }

        Column {
            Layout.fillWidth: true
            Layout.minimumWidth: 250
            spacing: 5
            Text {
                objectName: "rowName"
                width: parent.width
                text: root.name
                font: Fonts.font(17, Font.DemiBold)
                color: Colors.primary
                elide: Text.ElideRight
                maximumLineCount: 1
            }
            Text {
                objectName: "rowDetail"
                width: parent.width
                text: root.detail
                font: Fonts.font(13)
                color: Colors.sorvaneMuted
                elide: Text.ElideRight
                maximumLineCount: 1
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: 11
            }
        }

        SheetRatingPair {
            speed: root.speed
            quality: root.quality
        }

        Column {
            Layout.preferredWidth: 92
            spacing: 5
            Text {
                objectName: "rowSize"
                width: parent.width
                horizontalAlignment: Text.AlignRight
                text: root.size
                font: Fonts.monospaced(12)
                color: Colors.sorvaneMuted
                maximumLineCount: 1
            }
            Eyebrow {
                objectName: "rowStatus"
                anchors.right: parent.right
                text: root.status
                size: 8
                tracking: 0.9
                color: Colors.sorvaneMuted
            }
        }

        // The control slot: exactly one of its three parts. The bar is as wide as the
        // slot and clipped to it, so it never runs into the status column.
        Item {
            objectName: "controlSlot"
            Layout.preferredWidth: 84
            Layout.preferredHeight: 34

            Item {
                objectName: "progressSlot"
                anchors.fill: parent
                clip: true
                visible: root.control === ModelScreens.progressControl
                ProgressBar {
                    objectName: "rowProgress"
                    Accessible.name: "Downloading " + root.name + ", " + ModelScreens.percentText(root.progress)
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width
                    from: 0
                    to: 1
                    value: root.progress
                }
            }
            SheetActiveLabel {
                anchors.fill: parent
                visible: root.control === ModelScreens.activeControl
            }
            SheetActionButton {
                objectName: "rowAction"
                anchors.fill: parent
                visible: root.control === ModelScreens.keyControl || root.control === ModelScreens.useControl
                         || root.control === ModelScreens.getControl
                title: root.controlTitle
                accessibleName: root.controlTitle + " " + root.name
                onClicked: root.actionClicked()
            }
        }
    }

    Hairline {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        lineOpacity: 0.1
    }

    TapHandler {
        acceptedButtons: Qt.RightButton
        enabled: root.menuTitle !== ""
        onTapped: (point) => menu.popup(point.position.x, point.position.y)
    }
    Menu {
        id: menu
        objectName: "rowMenu"
        MenuItem {
            objectName: "rowMenuItem"
            text: root.menuTitle
            onTriggered: root.menuTriggered()
        }
    }
}
