import QtQuick
import QtQuick.Templates as T
import Sorvane

// The toast that announces a finished Command: a check, "Command finished", one line of
// the result, and the actions. The controller (`resultPanel`) places and hides it; the
// pointer over it holds the automatic hide back.
Item {
    id: toast
    objectName: "agentResultToast"
    readonly property bool dark: resultPanel.usesDarkAppearance
    readonly property color contrast: dark ? "white" : "black"

    implicitWidth: 350
    implicitHeight: 116

    HoverHandler {
        id: hover
        onHoveredChanged: resultPanel.setToastHovered(hovered)
    }

    RoundedBox {
        id: card
        objectName: "toastCard"
        x: 4
        y: 4
        width: 342
        height: 108
        radius: 19
        fill: toast.dark ? Qt.rgba(0, 0, 0, 0.95) : Qt.rgba(1, 1, 1, 0.98)
        stroke: toast.dark ? Qt.rgba(1, 1, 1, 0.15) : Qt.rgba(0, 0, 0, 0.11)
        strokeWidth: 0.75

        Column {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 13
            anchors.rightMargin: 13
            anchors.verticalCenter: parent.verticalCenter
            spacing: 10

            Row {
                width: parent.width
                spacing: 10

                Rectangle {
                    width: 28
                    height: 28
                    radius: 14
                    anchors.verticalCenter: parent.verticalCenter
                    color: Qt.alpha(Colors.systemGreen, 0.16)
                    SymbolIcon {
                        anchors.centerIn: parent
                        name: "checkmark"
                        size: 10
                        color: Colors.systemGreen
                    }
                }

                Column {
                    width: parent.width - 28 - 22 - 2 * parent.spacing
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 1
                    Text {
                        objectName: "toastHeading"
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                        text: "Command finished"
                        font: Fonts.font(12, Font.DemiBold)
                        color: toast.contrast
                    }
                    Text {
                        objectName: "toastResultText"
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                        width: parent.width
                        text: appState.agentResultText
                        font: Fonts.font(9.5, Font.Medium)
                        color: Qt.alpha(toast.contrast, 0.56)
                        maximumLineCount: 1
                        elide: Text.ElideRight
                        textFormat: Text.PlainText
                    }
                }

                T.Button {
                    objectName: "toastCloseButton"
                    Accessible.role: Accessible.Button
                    Accessible.name: "Close"
                    Accessible.onPressAction: resultPanel.hideResult()
                    width: 22
                    height: 22
                    anchors.verticalCenter: parent.verticalCenter
                    focusPolicy: Qt.NoFocus
                    onClicked: resultPanel.hideResult()
                    background: Rectangle {
                        radius: 11
                        color: Qt.alpha(toast.contrast, 0.075)
                    }
                    contentItem: Item {
                        SymbolIcon {
                            anchors.centerIn: parent
                            name: "xmark"
                            size: 9
                            color: toast.contrast
                        }
                    }
                }
            }

            Item {
                width: parent.width
                height: 25
                Row {
                    spacing: 8
                    ToastActionButton {
                        objectName: "toastOpenButton"
                        title: "Open"
                        primary: true
                        dark: toast.dark
                        onClicked: resultPanel.openResult()
                    }
                    ToastActionButton {
                        objectName: "toastDismissButton"
                        title: "Dismiss"
                        dark: toast.dark
                        onClicked: resultPanel.hideResult()
                    }
                }
                ToastActionButton {
                    objectName: "toastPasteButton"
                    anchors.right: parent.right
                    visible: appState.agentResultNeedsPaste
                    title: "Paste"
                    primary: true
                    dark: toast.dark
                    onClicked: resultPanel.pasteResult()
                }
            }
        }
    }
}
