import QtQuick
import QtQuick.Layouts
import Sorvane

// The one row of every settings area: a title over a detail line that wraps onto as
// many lines as it needs, the row's own control at the trailing edge (any item given
// as a child; none for a row that only tells), 24 above and below, and a faint line
// under it, so consecutive rows are divided by exactly one line.
Item {
    id: root
    property string title
    property string detail
    // The trailing control: the children given to the row.
    default property alias trailing: trailingSlot.data
    readonly property bool hasTrailing: trailingSlot.children.length > 0

    implicitWidth: 640
    implicitHeight: content.implicitHeight + 48 + line.height

    RowLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.topMargin: 24
        spacing: 24

        ColumnLayout {
            objectName: "rowText"
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 5

            Text {
                objectName: "rowTitle"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Layout.fillWidth: true
                text: root.title
                textFormat: Text.PlainText
                font: Fonts.font(17, Font.DemiBold)
                color: Colors.primary
                wrapMode: Text.Wrap
            }
            Text {
                objectName: "rowDetail"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Layout.fillWidth: true
                visible: text !== ""
                text: root.detail
                textFormat: Text.PlainText
                font: Fonts.font(13.5)
                color: Colors.sorvaneMuted
                wrapMode: Text.Wrap
                lineHeight: 1.1
            }
        }

        // Keeps the control at least 12 away from the text, beside the row's spacing.
        Item {
            Layout.preferredWidth: 12
            Layout.minimumWidth: 12
            visible: root.hasTrailing
        }

        Item {
            id: trailingSlot
            objectName: "rowTrailing"
            Layout.alignment: Qt.AlignVCenter
            visible: root.hasTrailing
            implicitWidth: childrenRect.width
            implicitHeight: childrenRect.height
        }
    }

    Hairline {
        id: line
        objectName: "rowLine"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        lineOpacity: 0.1
    }
}
