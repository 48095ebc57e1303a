import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// The custom vocabulary: names, brands and technical terms the speech engine should
// spell as the user does. The list lives in the state; this screen only adds and
// removes. The field's text is the screen's own and starts empty each time.
Item {
    id: root
    objectName: "vocabularyView"
    signal back()

    readonly property var terms: appState ? appState.vocabulary : []
    TermListModel { id: termModel; terms: root.terms }

    function addTerm() {
        if (appState)
            appState.addVocabulary(entry.text)
        entry.text = ""
    }

    // A double click on a remove button must not also remove the row that slides under it.
    ImmediateActionGuard { id: removeGuard }

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
        spacing: 34

        ColumnLayout {
            spacing: 20
            Layout.fillWidth: true

            T.Button {
                id: backButton
                objectName: "backButton"
                padding: 0
                // Templates size nothing themselves: without these the button is 0 by 0
                // and no click reaches it.
                implicitWidth: implicitContentWidth
                implicitHeight: implicitContentHeight
                focusPolicy: Qt.TabFocus
                onClicked: root.back()
                contentItem: Row {
                    spacing: 6
                    SymbolIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "chevron.left"
                        size: 12
                        color: Colors.sorvaneMuted
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Behaviour"
                        font: Fonts.font(14, Font.DemiBold)
                        color: Colors.sorvaneMuted
                    }
                }
            }

            ScreenTitle {
                objectName: "vocabularyTitle"
                title: "Vocabulary"
            }

            Text {
                objectName: "behaviourSentence"
                Layout.fillWidth: true
                Layout.maximumWidth: 620
                text: MainScreens.vocabularyBehaviourSentence(appState ? appState.selectedModel : null)
                font: Fonts.font(15)
                color: Colors.sorvaneMuted
                wrapMode: Text.WordWrap
            }
        }

        RowLayout {
            spacing: 12

            InlineField {
                id: entry
                objectName: "termField"
                Layout.preferredWidth: 340
                Layout.preferredHeight: 44
                placeholder: "Add a name, brand, or technical term"
                fontSize: 15
                onSubmitted: root.addTerm()
            }

            BorderedRowButton {
                objectName: "addTermButton"
                title: "Add term"
                buttonHeight: 44
                horizontalPadding: 20
                cornerRadius: 12
                fontSize: 14
                disabled: !MainScreens.canAddVocabularyTerm(entry.text)
                onClicked: root.addTerm()
            }
        }

        Text {
            objectName: "emptyHint"
            visible: root.terms.length === 0
            Layout.fillWidth: true
            text: "Try project names like \u201cSorvane\u201d, \u201cwhisper.cpp\u201d, or your teammates\u2019 names."
            font: Fonts.font(15)
            color: Colors.sorvaneMuted
            wrapMode: Text.WordWrap
        }

        ListView {
            id: list
            objectName: "termList"
            visible: root.terms.length > 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            model: termModel
            boundsBehavior: Flickable.StopAtBounds
            footer: Item { width: 1; height: 40 }
            // The bar lies in the screen's right margin, never over a row's buttons.
            ScrollBar.vertical: bar

            // The row's height is computed from its text, so the list knows it at once
            // and makes only the rows it shows.
            delegate: Item {
                id: termRow
                required property string term
                required property int index
                objectName: "termRow_" + index
                width: ListView.view.width
                height: 1 + termLine.height

                Hairline { width: parent.width; lineOpacity: 0.1 }

                Item {
                    id: termLine
                    y: 1
                    width: parent.width
                    height: Math.max(termText.implicitHeight, removeButton.implicitHeight) + 36

                    Text {
                        id: termText
                        objectName: "termText"
                        anchors.left: parent.left
                        anchors.right: removeButton.left
                        anchors.rightMargin: 24
                        anchors.verticalCenter: parent.verticalCenter
                        text: termRow.term
                        font: Fonts.font(17, Font.DemiBold)
                        color: Colors.primary
                        maximumLineCount: 1
                        elide: Text.ElideRight
                    }

                    IconButton {
                        id: removeButton
                        objectName: "removeButton"
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        symbolName: "xmark"
                        symbolSize: 13
                        tooltip: "Remove " + termRow.term
                        onClicked: {
                            if (removeGuard.tryAct() && appState)
                                appState.removeVocabulary(termRow.term)
                        }
                    }
                }
            }
        }

        Item {
            visible: root.terms.length === 0
            Layout.fillHeight: true
        }
    }
}
