import QtQuick
import QtQuick.Layouts
import Sorvane

// A section whose screen this version does not have yet: its title and one line that
// says so. Nothing here pretends to work.
Item {
    id: root
    property string title
    property string line
    default property alias extra: extraContent.data

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: 64
        anchors.leftMargin: 80
        anchors.rightMargin: 80
        spacing: 20

        ScreenTitle {
            objectName: "pendingTitle"
            title: root.title
        }
        Text {
            objectName: "pendingLine"
            Layout.fillWidth: true
            text: root.line
            font: Fonts.font(15)
            color: Colors.sorvaneMuted
            wrapMode: Text.WordWrap
        }
        Column {
            id: extraContent
            Layout.topMargin: 14
            spacing: 12
        }
        Item { Layout.fillHeight: true }
    }
}
