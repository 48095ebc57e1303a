import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
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

    menuBar: ShellMenuBar { menuModel: window.menus }

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

    Connections {
        target: window.menus
        ignoreUnknownSignals: true
        function onAboutRequested() { about.open() }
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

    // "About Sorvane": the mark, the name, the version and build.
    AboutPanel {
        id: about
        parent: Overlay.overlay
        anchors.centerIn: parent
        version: window.menus ? window.menus.aboutVersion : ""
    }
}
