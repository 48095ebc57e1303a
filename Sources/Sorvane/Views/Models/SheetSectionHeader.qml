import QtQuick
import QtQuick.Layouts
import Sorvane

// The header of a group of rows: symbol, title and detail, and a dark tag at the end.
Rectangle {
    id: root
    property string icon
    property string title
    property string detail
    property string tag

    implicitHeight: row.implicitHeight + 26
    color: Qt.alpha(Colors.sorvane, 0.045)

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 36
        anchors.rightMargin: 36
        anchors.topMargin: 13
        anchors.bottomMargin: 13
        spacing: 12

        Item {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            SymbolIcon {
                anchors.centerIn: parent
                name: root.icon
                size: 13
                color: Colors.primary
            }
        }
        Column {
            spacing: 3
            Text {
                objectName: "sectionTitle"
                text: root.title
                font: Fonts.font(13.5, Font.DemiBold)
                color: Colors.primary
            }
            Text {
                text: root.detail
                font: Fonts.font(11.5)
                color: Colors.sorvaneMuted
            }
        }
        Item { Layout.fillWidth: true; Layout.minimumWidth: 16 }
        LocationMarker {
            objectName: "sectionTag"
            text: root.tag
            size: 9
            tracking: 1
        }
    }
    Hairline {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        lineOpacity: 0.12
    }
}
