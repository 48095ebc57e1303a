import QtQuick
import QtQuick.Controls
import Sorvane

// The main window: the menu bar and the main window's root view. Closing it only hides
// it (the program goes on in the tray); the shell makes it again when it is next shown.
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
    property var updates: null
    property var applicationLocation: null
    property url rootViewUrl

    menuBar: MenuBar {
        id: menuBar
        objectName: "menuBar"
        Instantiator {
            model: window.menus ? window.menus.groups : []
            delegate: Menu {
                id: menu
                required property var modelData
                objectName: "menu:" + modelData.title
                title: modelData.title
                Instantiator {
                    model: menu.modelData.entries
                    delegate: MenuItem {
                        required property var modelData
                        objectName: "menuItem:" + modelData.title
                        text: modelData.title
                        enabled: modelData.enabled
                        height: modelData.separator ? 1 : implicitHeight
                        visible: !modelData.separator
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
}
