import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// The main window: the menu bar, drawn with the kit, and the main window's root view.
// Closing it only hides it (the program goes on running); the shell makes it again when
// it is next shown. Without a tray the first close stays and says so first.
ApplicationWindow {
    id: window
    objectName: "mainWindow"
    title: "Sorvane"
    width: 1160
    height: 700
    minimumWidth: 1060
    minimumHeight: 660

    // Set by the shell.
    property var menus: null
    property var shell: null
    property var updates: null
    property var applicationLocation: null
    property url rootViewUrl

    menuBar: T.MenuBar {
        id: menuBar
        objectName: "menuBar"
        implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                                implicitContentWidth + leftPadding + rightPadding)
        implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                                 implicitContentHeight + topPadding + bottomPadding)
        leftPadding: 8
        spacing: 2
        delegate: T.MenuBarItem {
            id: barItem
            objectName: "menuBarItem:" + text
            implicitWidth: implicitContentWidth + leftPadding + rightPadding
            implicitHeight: 30
            leftPadding: 10
            rightPadding: 10
            contentItem: Text {
                text: barItem.text
                font: Fonts.font(13, Font.Medium)
                color: Colors.primary
                verticalAlignment: Text.AlignVCenter
            }
            background: RoundedBox {
                anchors.fill: parent
                anchors.topMargin: 3
                anchors.bottomMargin: 3
                radius: 7
                fill: barItem.highlighted || barItem.menu && barItem.menu.visible
                      ? Qt.alpha(Colors.sorvane, 0.1) : "transparent"
            }
        }
        contentItem: Row {
            spacing: menuBar.spacing
            Repeater { model: menuBar.contentModel }
        }
        background: Rectangle {
            implicitHeight: 30
            color: Colors.sorvanePaper
            Hairline { anchors.left: parent.left; anchors.right: parent.right; anchors.bottom: parent.bottom }
        }

        Instantiator {
            model: window.menus ? window.menus.groups : []
            delegate: T.Menu {
                id: menu
                required property var modelData
                objectName: "menu:" + modelData.title
                title: modelData.title
                // As wide as its longest title, never narrower than a usual menu.
                readonly property real widestItem: {
                    let widest = 0
                    for (let i = 0; i < count; ++i) {
                        const item = itemAt(i)
                        if (item && item.visible)
                            widest = Math.max(widest, item.implicitWidth)
                    }
                    return widest
                }
                implicitWidth: Math.max(200, widestItem + leftPadding + rightPadding)
                implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding
                padding: 5
                margins: 0
                overlap: 1
                contentItem: ListView {
                    implicitHeight: contentHeight
                    model: menu.contentModel
                    interactive: Window.window ? contentHeight + menu.topPadding + menu.bottomPadding > Window.window.height : false
                    clip: true
                    currentIndex: menu.currentIndex
                }
                background: RoundedBox {
                    radius: 9
                    fill: Colors.sorvaneBrightPaper
                    stroke: Qt.alpha(Colors.primary, 0.14)
                    strokeWidth: 0.8
                }
                Instantiator {
                    model: menu.modelData.entries
                    delegate: T.MenuItem {
                        id: entry
                        required property var modelData
                        objectName: "menuItem:" + modelData.title
                        text: modelData.title
                        enabled: modelData.enabled
                        visible: !modelData.separator
                        implicitWidth: implicitContentWidth + leftPadding + rightPadding
                        implicitHeight: modelData.separator ? 0 : 28
                        width: menu.availableWidth
                        leftPadding: 12
                        rightPadding: 12
                        contentItem: Text {
                            objectName: "menuItemTitle"
                            text: entry.text
                            font: Fonts.font(13)
                            color: entry.enabled ? Colors.primary : Colors.secondary
                            opacity: entry.enabled ? 1 : 0.6
                            elide: Text.ElideRight
                            verticalAlignment: Text.AlignVCenter
                        }
                        background: RoundedBox {
                            radius: 6
                            fill: entry.highlighted && entry.enabled ? Qt.alpha(Colors.sorvane, 0.1) : "transparent"
                        }
                        onTriggered: window.menus.trigger(modelData.action)
                    }
                    onObjectAdded: (index, object) => menu.insertItem(index, object)
                    onObjectRemoved: (index, object) => menu.removeItem(object)
                }
            }
            onObjectAdded: (index, object) => menuBar.insertMenu(index, object)
            onObjectRemoved: (index, object) => menuBar.removeMenu(object)
        }
    }

    Shortcut {
        sequence: "Ctrl+Q"
        context: Qt.ApplicationShortcut
        onActivated: if (window.menus) window.menus.trigger(window.menus.quitAction)
    }

    onClosing: (close) => {
        if (window.shell && window.shell.explainsClose()) {
            close.accepted = false
            keepsRunning.open()
        }
    }

    Loader {
        id: root
        objectName: "rootLoader"
        anchors.fill: parent
        source: window.rootViewUrl
        sourceComponent: window.rootViewUrl.toString() === "" ? emptyRoot : undefined
        onLoaded: {
            if (item.hasOwnProperty("updates"))
                item.updates = Qt.binding(() => window.updates)
            if (item.hasOwnProperty("applicationLocation"))
                item.applicationLocation = Qt.binding(() => window.applicationLocation)
        }
    }

    // Until the main window's own root view exists.
    Component {
        id: emptyRoot
        Item { objectName: "rootView" }
    }

    // Said once, the first time the window closes where no tray item can bring it back.
    Popup {
        id: keepsRunning
        objectName: "keepsRunningNotice"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        closePolicy: Popup.CloseOnEscape
        padding: 28
        width: 480
        background: RoundedBox {
            radius: 16
            fill: Colors.sorvaneBrightPaper
            stroke: Qt.alpha(Colors.primary, 0.1)
            strokeWidth: 0.8
        }
        contentItem: ColumnLayout {
            spacing: 14
            RowLayout {
                spacing: 12
                BrandMark { size: 30 }
                Text {
                    objectName: "keepsRunningTitle"
                    Layout.fillWidth: true
                    text: window.shell ? window.shell.keepsRunningTitle : ""
                    font: Fonts.font(17, Font.DemiBold)
                    color: Colors.primary
                    wrapMode: Text.WordWrap
                }
            }
            Text {
                objectName: "keepsRunningMessage"
                Layout.fillWidth: true
                text: window.shell ? window.shell.keepsRunningMessage : ""
                font: Fonts.font(13)
                color: Colors.secondary
                wrapMode: Text.WordWrap
                lineHeight: 1.15
            }
            RowLayout {
                Layout.alignment: Qt.AlignRight
                Layout.topMargin: 6
                spacing: 10
                QuietButton {
                    objectName: "keepsRunningQuit"
                    title: "Quit Sorvane"
                    onClicked: {
                        keepsRunning.close()
                        if (window.menus) window.menus.trigger(window.menus.quitAction)
                    }
                }
                PrimaryButton {
                    objectName: "keepsRunningClose"
                    title: "Close Window"
                    onClicked: {
                        keepsRunning.close()
                        window.close()
                    }
                }
            }
        }
    }
}
