import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// Every dictation and Command conversation, newest first, with a search. The search
// text is the screen's own: it starts empty each time the section is shown.
Item {
    id: root
    objectName: "historyView"

    property alias search: searchField.text
    readonly property alias model: entries

    HistoryListModel {
        id: entries
        historyStore: appState ? appState.historyStore : null
        conversationStore: appState ? appState.agentConversationStore : null
        search: searchField.text
    }

    // "Today" and "Yesterday" move on while the screen stays open.
    Timer {
        interval: 60000
        repeat: true
        running: true
        onTriggered: entries.refreshTimestamps()
    }

    // A double click on delete must not also delete the row that slides under it.
    ImmediateActionGuard { id: deleteGuard }

    // The list's scroll bar, in the right margin (the list lies 64 below the top and 80
    // in from the sides), shown only while the list is longer than its room.
    ScrollBar {
        id: bar
        objectName: "listScrollBar"
        orientation: Qt.Vertical
        policy: ScrollBar.AsNeeded
        x: root.width - 80 + 32
        y: 64 + list.y
        height: list.height
        visible: list.visible && size < 1
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: 64
        anchors.leftMargin: 80
        anchors.rightMargin: 80
        spacing: 44

        RowLayout {
            Layout.fillWidth: true
            spacing: 24

            ScreenTitle {
                objectName: "historyTitle"
                title: "History"
            }
            Item { Layout.fillWidth: true }
            InlineField {
                id: searchField
                objectName: "searchField"
                Layout.preferredWidth: 260
                Layout.preferredHeight: 44
                symbolName: "magnifyingglass"
                symbolSize: 14
                placeholder: "Search"
                fontSize: 14
            }
        }

        Column {
            objectName: "emptyState"
            visible: entries.count === 0
            Layout.fillWidth: true
            spacing: 10

            Text {
                objectName: "emptyHeading"
                width: parent.width
                text: root.search.length === 0 ? "Nothing here yet." : "No matches."
                font: Fonts.font(23)
                color: Colors.sorvaneBody
                wrapMode: Text.WordWrap
            }
            Text {
                objectName: "emptyLine"
                width: parent.width
                text: root.search.length === 0
                      ? "Press " + (appState ? appState.toggleShortcut.displayName : "") + " from any app to capture your first thought."
                      : "Try a different word."
                font: Fonts.font(15)
                color: Colors.sorvaneMuted
                wrapMode: Text.WordWrap
            }
        }

        ListView {
            id: list
            objectName: "historyList"
            visible: entries.count > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: entries
            reuseItems: true
            boundsBehavior: Flickable.StopAtBounds
            footer: Item { width: 1; height: 40 }
            // The bar lies in the screen's right margin, never over a row's buttons.
            ScrollBar.vertical: bar

            delegate: HistoryEntryRow {
                width: ListView.view.width
                onCopyRequested: text => MainScreens.copyText(appState, text)
                onDeleteRequested: (entryId, isCommand) => {
                    if (deleteGuard.tryAct())
                        MainScreens.deleteHistoryEntry(appState, entryId, isCommand)
                }
                onOpenRequested: entryId => {
                    if (appState)
                        appState.openAgentConversation(entryId)
                }
            }
        }

        Item {
            visible: entries.count === 0
            Layout.fillHeight: true
        }
    }
}
