import QtQuick
import QtQuick.Layouts
import Sorvane

// One row of the history: its time (and the COMMAND badge), its text, selectable and
// cut to four lines, its detail, and the copy and delete buttons. A double click
// anywhere on it opens a Command entry's conversation.
Column {
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
        width: parent.width
        height: content.implicitHeight + 52

        TapHandler {
            acceptedButtons: Qt.LeftButton
            onDoubleTapped: row.doubleClicked()
        }

        RowLayout {
            id: content
            anchors.fill: parent
            anchors.topMargin: 26
            anchors.bottomMargin: 26
            spacing: 28

            Column {
                objectName: "timeColumn"
                Layout.preferredWidth: 120
                Layout.alignment: Qt.AlignTop
                Layout.topMargin: 4
                spacing: 6

                Text {
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
                    objectName: "commandBadge"
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

            Column {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                spacing: 10

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
                    objectName: "entryDetail"
                    width: parent.width
                    text: row.detail
                    font: Fonts.font(13)
                    color: Colors.sorvaneMuted
                    elide: Text.ElideRight
                }
            }

            Row {
                objectName: "rowActions"
                Layout.alignment: Qt.AlignTop
                Layout.topMargin: 4
                spacing: 18

                IconButton {
                    objectName: "copyButton"
                    symbolName: "doc.on.doc"
                    symbolSize: 17
                    tooltip: "Copy"
                    onClicked: row.copyRequested(row.text)
                }
                IconButton {
                    objectName: "deleteButton"
                    symbolName: "trash"
                    symbolSize: 17
                    tooltip: "Delete"
                    onClicked: row.deleteRequested(row.entryId, row.isCommand)
                }
            }
        }
    }
}
