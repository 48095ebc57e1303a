import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// The frame of a picker sheet, 900 × 640: title and caption, the rows scrolling
// between them and the footer, and the footer's message and "Done".
Rectangle {
    id: root
    property string title
    property string caption
    property string message
    property bool messageIsError: false
    property alias rows: list.model
    property alias rowDelegate: list.delegate
    readonly property alias list: list
    signal done()

    implicitWidth: 900
    implicitHeight: 640
    width: 900
    height: 640
    color: Colors.sorvaneBrightPaper

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 40
            Layout.rightMargin: 40
            Layout.topMargin: 36
            Layout.bottomMargin: 24
            spacing: 16
            Text {
                objectName: "sheetTitle"
                Layout.alignment: Qt.AlignBaseline
                text: root.title
                font: {
                    const f = Fonts.font(28, Font.Bold)
                    f.letterSpacing = -1
                    return f
                }
                color: Colors.primary
            }
            Item { Layout.fillWidth: true; Layout.minimumWidth: 12 }
            Text {
                objectName: "sheetCaption"
                Layout.alignment: Qt.AlignBaseline
                Layout.maximumWidth: 420
                text: root.caption
                font: Fonts.font(14)
                color: Colors.sorvaneMuted
                horizontalAlignment: Text.AlignRight
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
        }

        ListView {
            id: list
            objectName: "sheetRows"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            footer: Item { height: 8 }
            ScrollBar.vertical: ScrollBar {
                objectName: "sheetScrollBar"
                policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
            }
        }

        Hairline {
            Layout.fillWidth: true
            lineOpacity: 0.1
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 40
            Layout.rightMargin: 40
            Layout.topMargin: 22
            Layout.bottomMargin: 22
            spacing: 12
            Text {
                objectName: "sheetMessage"
                Layout.fillWidth: true
                text: root.message
                font: Fonts.font(13)
                color: root.messageIsError ? Colors.sorvaneError : Colors.sorvaneMuted
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
            Item { Layout.minimumWidth: 12 }
            AbstractButton {
                objectName: "doneButton"
                Accessible.name: "Done"
                Accessible.onPressAction: root.done()
                contentItem: Text {
                    text: "Done"
                    font: Fonts.font(14, Font.DemiBold)
                    color: Colors.sorvane
                }
                background: null
                onClicked: root.done()
            }
        }
    }
}
