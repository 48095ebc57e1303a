import QtQuick
import QtQuick.Templates as T
import Sorvane

// The main window's menu bar and its menus, drawn with the kit: every menu as wide as
// its longest title.
T.MenuBar {
    id: menuBar
    objectName: "menuBar"
    // A MainMenuModel, or anything with its `groups` and `trigger(action)`.
    property var menuModel: null
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
        model: menuBar.menuModel ? menuBar.menuModel.groups : []
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
                    readonly property bool separator: modelData.separator
                    readonly property string keys: modelData.shortcut || ""
                    objectName: separator ? "menuSeparator" : "menuItem:" + modelData.title
                    text: modelData.title
                    enabled: modelData.enabled && !separator
                    implicitWidth: implicitContentWidth + leftPadding + rightPadding
                    implicitHeight: separator ? 9 : 28
                    width: menu.availableWidth
                    leftPadding: 12
                    rightPadding: 12
                    contentItem: Item {
                        implicitWidth: entry.separator ? 0 : title.implicitWidth
                                                             + (entry.keys !== "" ? 28 + keysText.implicitWidth : 0)
                        implicitHeight: title.implicitHeight
                        visible: !entry.separator
                        Text {
                            id: title
                            objectName: "menuItemTitle"
                            anchors.left: parent.left
                            anchors.verticalCenter: parent.verticalCenter
                            width: parent.width - (entry.keys !== "" ? 28 + keysText.implicitWidth : 0)
                            text: entry.text
                            font: Fonts.font(13)
                            color: entry.enabled ? Colors.primary : Colors.secondary
                            opacity: entry.enabled ? 1 : 0.6
                            elide: Text.ElideRight
                        }
                        Text {
                            id: keysText
                            anchors.right: parent.right
                            anchors.verticalCenter: parent.verticalCenter
                            visible: entry.keys !== ""
                            text: entry.keys
                            font: Fonts.font(12)
                            color: Colors.secondary
                        }
                    }
                    background: Item {
                        RoundedBox {
                            anchors.fill: parent
                            visible: !entry.separator
                            radius: 6
                            fill: entry.highlighted && entry.enabled ? Qt.alpha(Colors.sorvane, 0.1) : "transparent"
                        }
                        Hairline {
                            visible: entry.separator
                            anchors.verticalCenter: parent.verticalCenter
                            width: parent.width
                            lineOpacity: 0.12
                        }
                    }
                    onTriggered: menuBar.menuModel.trigger(modelData.action)
                }
                onObjectAdded: (index, object) => menu.insertItem(index, object)
                onObjectRemoved: (index, object) => menu.removeItem(object)
            }
        }
        onObjectAdded: (index, object) => menuBar.insertMenu(index, object)
        onObjectRemoved: (index, object) => menuBar.removeMenu(object)
    }
}
