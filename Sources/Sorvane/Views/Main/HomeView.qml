import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// Can I dictate, what is my shortcut, what needs me: the readiness line, the Dictation
// shortcut in large type, the "Needs you" items, three facts and the Dictation button.
// Everything is derived from the state as it is published.
Item {
    id: root
    objectName: "homeView"

    readonly property alias attention: attentionItems

    HomeAttentionModel {
        id: attentionItems
        state: appState
    }

    Flickable {
        id: scroller
        anchors.fill: parent
        contentWidth: width
        contentHeight: Math.max(height, content.implicitHeight + 144)
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

        ColumnLayout {
            id: content
            x: 80
            y: 72
            width: scroller.width - 160
            height: scroller.contentHeight - 144
            spacing: 0

            Row {
                objectName: "readiness"
                spacing: 10
                StatusDot {
                    objectName: "readinessDot"
                    anchors.verticalCenter: parent.verticalCenter
                    active: appState ? appState.canDictate : false
                    size: 8
                }
                Eyebrow {
                    objectName: "readinessLabel"
                    anchors.verticalCenter: parent.verticalCenter
                    text: MainScreens.readinessLabel(appState ? appState.canDictate : false)
                    size: 11
                    tracking: 1.6
                    color: Colors.sorvaneMuted
                }
            }

            Item { Layout.fillHeight: true; Layout.minimumHeight: 40 }

            ColumnLayout {
                objectName: "statement"
                Layout.fillWidth: true
                spacing: 20

                Text {
                    id: shortcut
                    objectName: "shortcutText"
                    Layout.fillWidth: true
                    Layout.preferredHeight: implicitHeight
                    text: MainScreens.shortcutHeadline(appState ? appState.toggleShortcut.displayName : "")
                    font: {
                        const f = Fonts.font(104, Font.Bold)
                        f.letterSpacing = -5
                        return f
                    }
                    // One line that shrinks down to half its size before it elides.
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Math.max(1, Math.floor(font.pointSize / 2))
                    maximumLineCount: 1
                    elide: Text.ElideRight
                    color: Colors.primary
                }
                Text {
                    objectName: "promiseLine"
                    Layout.fillWidth: true
                    text: MainScreens.promiseLine()
                    font: {
                        const f = Fonts.font(23)
                        f.letterSpacing = -0.3
                        return f
                    }
                    color: Colors.sorvaneBody
                    wrapMode: Text.WordWrap
                }
            }

            Item { Layout.fillHeight: true; Layout.minimumHeight: 40 }

            Column {
                objectName: "needsYou"
                visible: attentionItems.count > 0
                Layout.fillWidth: true
                spacing: 0

                Eyebrow {
                    objectName: "needsYouLabel"
                    text: "Needs you"
                    size: 10
                    tracking: 1.4
                    color: Colors.sorvaneMuted
                }
                Item { width: 1; height: 16 }

                Repeater {
                    model: attentionItems
                    delegate: Column {
                        id: itemRow
                        required property string itemId
                        required property string title
                        required property string detail
                        required property string actionTitle
                        objectName: "attention_" + itemId
                        width: parent.width
                        // Read by a screen reader as one item: the texts are no elements of their own.
                        Accessible.role: Accessible.ListItem
                        Accessible.name: title
                        Accessible.description: detail

                        Hairline { width: parent.width; lineOpacity: 0.14 }

                        RowLayout {
                            width: parent.width
                            height: Math.max(texts.implicitHeight, action.implicitHeight) + 40
                            spacing: 24

                            Column {
                                id: texts
                                Layout.fillWidth: true
                                spacing: 5
                                Text {
                                    objectName: "attentionTitle"
                                    width: parent.width
                                    text: itemRow.title
                                    font: Fonts.font(17, Font.DemiBold)
                                    color: Colors.primary
                                    elide: Text.ElideRight
                                }
                                Text {
                                    objectName: "attentionDetail"
                                    width: parent.width
                                    text: itemRow.detail
                                    font: Fonts.font(13.5)
                                    color: Colors.sorvaneMuted
                                    elide: Text.ElideRight
                                }
                            }
                            BorderedRowButton {
                                id: action
                                objectName: "attentionAction"
                                Layout.leftMargin: 0
                                title: itemRow.actionTitle
                                buttonHeight: 40
                                horizontalPadding: 20
                                cornerRadius: 11
                                fontSize: 14
                                onClicked: attentionItems.activate(itemRow.itemId)
                            }
                        }
                    }
                }
            }

            Item {
                visible: attentionItems.count > 0
                Layout.fillHeight: true
                Layout.minimumHeight: 40
            }

            // The facts and the Dictation button on one line where they fit; in a
            // narrower window the button goes below the facts rather than off the edge.
            GridLayout {
                id: metadata
                objectName: "metadata"
                Layout.fillWidth: true
                readonly property real oneLineWidth: modelFact.implicitWidth + commandFact.implicitWidth
                                                     + weekFact.implicitWidth + dictationButton.implicitWidth
                                                     + 3 * columnSpacing + 40
                readonly property bool oneLine: width >= oneLineWidth
                columns: oneLine ? 5 : 4
                columnSpacing: 40
                rowSpacing: 28

                HomeFact {
                    id: modelFact
                    objectName: "modelFact"
                    Layout.alignment: Qt.AlignBottom
                    label: "Model"
                    value: MainScreens.selectedModelName(appState ? appState.selectedModel : null)
                }
                HomeFact {
                    id: commandFact
                    objectName: "commandFact"
                    Layout.alignment: Qt.AlignBottom
                    label: "Command"
                    value: MainScreens.commandShortcutValue(appState ? appState.agentShortcut.displayName : "")
                }
                HomeFact {
                    id: weekFact
                    objectName: "weekFact"
                    Layout.alignment: Qt.AlignBottom
                    label: "This week"
                    value: MainScreens.weeklyMinutesLabel(appState ? appState.historyStore.minutesThisWeek : 0)
                }
                Item { Layout.fillWidth: true }

                T.Button {
                    id: dictationButton
                    objectName: "dictationButton"
                    Accessible.role: Accessible.Button
                    Accessible.name: MainScreens.dictationButtonTitle(appState ? appState.status : undefined)
                    Accessible.onPressAction: dictationButton.clicked()
                    Layout.alignment: metadata.oneLine ? Qt.AlignBottom : Qt.AlignLeft
                    Layout.columnSpan: metadata.oneLine ? 1 : 4
                    leftPadding: 26
                    rightPadding: 26
                    implicitHeight: 52
                    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
                    focusPolicy: Qt.TabFocus
                    onClicked: if (appState) appState.toggleRecording()
                    contentItem: Text {
                        objectName: "dictationButtonTitle"
                        text: MainScreens.dictationButtonTitle(appState ? appState.status : undefined)
                        font: Fonts.font(15, Font.DemiBold)
                        color: Colors.sorvane
                        maximumLineCount: 1
                        verticalAlignment: Text.AlignVCenter
                        horizontalAlignment: Text.AlignHCenter
                    }
                    background: RoundedBox {
                        radius: 13
                        fill: Colors.sorvaneSignal
                        opacity: dictationButton.down ? 0.85 : 1
                    }
                }
            }
        }
    }

    // The model file's presence is read from the disk each time the screen is shown.
    Component.onCompleted: attentionItems.refresh()
}
