import QtQuick
import QtQuick.Controls
import Sorvane

// The conversation window's content: the shown conversation's header and bubbles (the
// answer streaming in as a last bubble), and the composer of a typed or spoken
// follow-up. Everything it shows and does comes from `conversationModel`.
Rectangle {
    id: panel
    objectName: "agentConversationPanel"
    // The window's own background with the paper tone over it.
    color: Colors.windowBackground
    implicitWidth: 560
    implicitHeight: 680

    Rectangle {
        anchors.fill: parent
        color: Qt.alpha(Colors.sorvanePaper, 0.35)
    }

    Column {
        objectName: "conversationUnavailable"
        visible: !conversationModel.available
        anchors.centerIn: parent
        spacing: 8
        SymbolIcon {
            anchors.horizontalCenter: parent.horizontalCenter
            name: "text.bubble"
            size: 34
            color: Colors.secondary
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Conversation unavailable"
            font: Fonts.font(17, Font.Bold)
            color: Colors.primary
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "It may have been deleted."
            font: Fonts.font(12.5)
            color: Colors.secondary
        }
    }

    Item {
        objectName: "conversationContent"
        anchors.fill: parent
        visible: conversationModel.available

        Item {
            id: header
            objectName: "conversationHeader"
            anchors.left: parent.left
            anchors.right: parent.right
            height: headerText.implicitHeight + 32

            Column {
                id: headerText
                anchors.left: parent.left
                anchors.right: busyLabel.left
                anchors.margins: 16
                anchors.verticalCenter: parent.verticalCenter
                spacing: 3
                Text {
                    objectName: "conversationTitle"
                    width: parent.width
                    text: conversationModel.title
                    font: Fonts.font(16, Font.Bold)
                    color: Colors.primary
                    maximumLineCount: 1
                    elide: Text.ElideRight
                    textFormat: Text.PlainText
                }
                Text {
                    objectName: "conversationTarget"
                    text: conversationModel.targetApplicationName
                    font: Fonts.font(10.5)
                    color: Colors.secondary
                    textFormat: Text.PlainText
                }
            }
            Row {
                id: busyLabel
                objectName: "busyLabel"
                visible: conversationModel.busy
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                spacing: 4
                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    name: "ellipsis"
                    size: 10.5
                    color: Colors.secondary
                }
                Text {
                    objectName: "busyLabelText"
                    anchors.verticalCenter: parent.verticalCenter
                    text: conversationModel.phaseWord
                    font: Fonts.font(10.5, Font.DemiBold)
                    color: Colors.secondary
                }
            }
        }

        Hairline { id: topLine; anchors.top: header.bottom; anchors.left: parent.left; anchors.right: parent.right }

        ListView {
            id: messageList
            objectName: "messageList"
            anchors.top: topLine.bottom
            anchors.bottom: bottomLine.top
            anchors.left: parent.left
            anchors.right: parent.right
            clip: true
            spacing: 12
            topMargin: 16
            bottomMargin: 16
            leftMargin: 16
            rightMargin: 16
            boundsBehavior: Flickable.StopAtBounds
            model: conversationModel.messages
            ScrollBar.vertical: ScrollBar {}
            // Follow the end while the user has not scrolled away from it.
            property bool following: true
            onMovementEnded: messageList.following = messageList.atYEnd
            onContentHeightChanged: if (messageList.following) messageList.positionViewAtEnd()
            onCountChanged: { messageList.following = true; messageList.positionViewAtEnd() }
            delegate: MessageBubble {
                objectName: streaming ? "streamingBubble" : "messageBubble"
                width: messageList.width - messageList.leftMargin - messageList.rightMargin
                sender: model.sender
                text: model.text
                isUser: model.isUser
                attachments: model.attachments
            }
        }

        Hairline { id: bottomLine; anchors.bottom: composer.top; anchors.left: parent.left; anchors.right: parent.right }

        Column {
            id: composer
            objectName: "composer"
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            padding: 12
            spacing: 8

            Text {
                objectName: "attachmentError"
                visible: conversationModel.attachmentError !== ""
                width: composer.width - 24
                text: conversationModel.attachmentError
                font: Fonts.font(10)
                color: Colors.systemRed
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
            }
            Row {
                objectName: "attachmentLabel"
                visible: conversationModel.screenshotAttached
                spacing: 5
                SymbolIcon { anchors.verticalCenter: parent.verticalCenter; name: "photo"; size: 10.5 }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Window screenshot attached"
                    font: Fonts.font(10.5, Font.DemiBold)
                    color: Colors.primary
                }
            }

            Row {
                id: inputRow
                spacing: 8
                width: composer.width - 24

                RoundedBox {
                    id: fieldBox
                    radius: 10
                    fill: Qt.alpha(Colors.primary, 0.055)
                    width: inputRow.width - buttons.width - inputRow.spacing
                    height: field.height
                    anchors.bottom: parent.bottom

                    TextArea {
                        id: field
                        objectName: "followUpField"
                        width: parent.width
                        // One to four lines, then it scrolls inside.
                        readonly property real lineHeight: fontMetrics.lineSpacing
                        height: Math.min(Math.max(implicitHeight, lineHeight + 20), 4 * lineHeight + 20)
                        padding: 10
                        wrapMode: TextEdit.Wrap
                        placeholderText: "Ask for a refinement\u2026"
                        font: Fonts.font(12.5)
                        color: Colors.primary
                        background: null
                        text: conversationModel.followUp
                        onTextChanged: if (text !== conversationModel.followUp) conversationModel.followUp = text
                        Keys.onPressed: (event) => {
                            if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter)
                                    && (event.modifiers & Qt.ControlModifier)) {
                                conversationModel.submit()
                                event.accepted = true
                            }
                        }
                        FontMetrics { id: fontMetrics; font: field.font }
                    }
                }

                Row {
                    id: buttons
                    anchors.bottom: parent.bottom
                    spacing: 4
                    PanelIconButton {
                        objectName: "cameraButton"
                        visible: conversationModel.cameraShown
                        enabled: conversationModel.cameraEnabled
                        symbol: "camera"
                        help: "Attach the target application window"
                        onClicked: conversationModel.attachScreenshot()
                    }
                    PanelIconButton {
                        objectName: "micButton"
                        symbol: conversationModel.listening ? "stop.fill" : "mic.fill"
                        help: "Speak a follow-up"
                        onClicked: conversationModel.toggleSpokenFollowUp()
                    }
                    PanelIconButton {
                        objectName: "sendButton"
                        enabled: conversationModel.sendEnabled
                        symbol: "arrow.up"
                        onClicked: conversationModel.submit()
                    }
                }
            }

            Item {
                width: composer.width - 24
                height: Math.max(links.implicitHeight, sendHint.implicitHeight)
                Row {
                    id: links
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 14
                    QuietLink {
                        objectName: "copyLatestButton"
                        title: "Copy latest"
                        onClicked: conversationModel.copyLatest()
                    }
                    QuietLink {
                        objectName: "pasteButton"
                        title: "Paste"
                        onClicked: conversationModel.paste()
                    }
                }
                Text {
                    id: sendHint
                    objectName: "sendHint"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Ctrl+Enter to send"
                    font: Fonts.font(9.5)
                    color: Colors.secondary
                }
            }
        }
    }
}
