import QtQuick
import Sorvane

// One row of the history: its time (and the COMMAND badge), its text, selectable and
// cut to four lines, its detail, and the copy and delete buttons. A double click
// anywhere on it opens a Command entry's conversation.
// Every height here is computed from its texts rather than left to positioners, so a
// list knows a row's height as soon as the row is made and makes only the rows it shows.
Item {
    id: row
    required property string entryId
    required property bool isCommand
    required property string text
    required property string detail
    required property string timestamp
    required property int index

    signal copyRequested(string text)
    signal deleteRequested(string entryId, bool isCommand)
    signal openRequested(string entryId)

    objectName: "historyRow_" + index
    height: 1 + proper.height
    // Read by a screen reader as one item: its texts are no elements of their own.
    Accessible.role: Accessible.ListItem
    Accessible.name: text
    Accessible.description: detail

    function doubleClicked() {
        if (row.isCommand)
            row.openRequested(row.entryId)
    }

    Hairline {
        width: parent.width
        lineOpacity: 0.12
    }

    Item {
        id: proper
        objectName: "rowProper"
        y: 1
        width: parent.width
        readonly property real timeHeight: 4 + stamp.implicitHeight + (badge.visible ? 6 + badge.implicitHeight : 0)
        readonly property real textHeight: textBox.height + 10 + detailText.implicitHeight
        readonly property real actionsHeight: 4 + actions.height
        height: 52 + Math.max(timeHeight, textHeight, actionsHeight)

        TapHandler {
            acceptedButtons: Qt.LeftButton
            onDoubleTapped: row.doubleClicked()
        }

        Item {
            objectName: "timeColumn"
            x: 0
            y: 26 + 4
            width: 120
            height: proper.timeHeight - 4

            Text {
                id: stamp
                objectName: "timestamp"
                width: 120
                text: row.timestamp
                font: {
                    const f = Fonts.monospaced(11)
                    f.letterSpacing = 0.4
                    return f
                }
                color: Colors.sorvaneMuted
                elide: Text.ElideRight
            }
            Text {
                id: badge
                objectName: "commandBadge"
                // Screen readers read the badge and the entry's text, as the eye does.
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                y: stamp.implicitHeight + 6
                visible: row.isCommand
                text: "COMMAND"
                font: {
                    const f = Fonts.monospaced(9.5, Font.Bold)
                    f.letterSpacing = 1.1
                    return f
                }
                color: Colors.sorvane
            }
        }

        Item {
            id: textColumn
            x: 120 + 28
            y: 26
            width: Math.max(0, actions.x - x - 28)
            height: proper.textHeight

            Item {
                id: textBox
                width: parent.width
                readonly property real lineStep: metrics.lineSpacing + 4.5
                height: Math.min(entryText.contentHeight, lineStep * 4)
                clip: true

                FontMetrics {
                    id: metrics
                    font: entryText.font
                }

                TextEdit {
                    id: entryText
                    objectName: "entryText"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: row.text
                    width: parent.width
                    text: row.text
                    textFormat: TextEdit.PlainText
                    readOnly: true
                    selectByMouse: true
                    persistentSelection: false
                    wrapMode: TextEdit.Wrap
                    font: {
                        const f = Fonts.font(17)
                        f.letterSpacing = -0.2
                        return f
                    }
                    color: Colors.primary
                    selectionColor: Qt.alpha(Colors.sorvaneSignal, 0.9)
                    selectedTextColor: Colors.sorvane
                    Component.onCompleted: MainScreens.setLineSpacing(textDocument, 4.5)
                    onTextChanged: MainScreens.setLineSpacing(textDocument, 4.5)

                    // The text takes the clicks for its selection; its double click
                    // still opens the row.
                    TapHandler {
                        acceptedButtons: Qt.LeftButton
                        onDoubleTapped: row.doubleClicked()
                    }
                }
            }

            Text {
                id: detailText
                objectName: "entryDetail"
                y: textBox.height + 10
                width: parent.width
                text: row.detail
                font: Fonts.font(13)
                color: Colors.sorvaneMuted
                elide: Text.ElideRight
            }
        }

        Row {
            id: actions
            objectName: "rowActions"
            x: proper.width - width
            y: 26 + 4
            width: copyButton.implicitWidth + spacing + deleteButton.implicitWidth
            height: Math.max(copyButton.implicitHeight, deleteButton.implicitHeight)
            spacing: 18

            IconButton {
                id: copyButton
                objectName: "copyButton"
                symbolName: "doc.on.doc"
                symbolSize: 17
                tooltip: "Copy"
                onClicked: row.copyRequested(row.text)
            }
            IconButton {
                id: deleteButton
                objectName: "deleteButton"
                symbolName: "trash"
                symbolSize: 17
                tooltip: "Delete"
                onClicked: row.deleteRequested(row.entryId, row.isCommand)
            }
        }
    }
}
