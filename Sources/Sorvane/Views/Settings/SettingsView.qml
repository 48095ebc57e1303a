import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// The Settings section: the heading, the three tabs and, below them in a scroll view,
// the selected area, made afresh each time its tab is chosen. The selected tab is the
// state's; what the areas share lives in the screen's model for as long as the screen.
// The vocabulary editor replaces the whole content while it is open.
Item {
    id: root
    objectName: "settingsView"
    // The shell's UpdateController.
    property var updates: null
    readonly property int area: appState ? appState.selectedSettingsArea : SettingsScreens.shortcutsArea
    readonly property alias screen: shared
    // The "Open at login" row's controller, one for as long as the screen.
    readonly property alias loginItem: loginItemController
    readonly property Item currentArea: areaLoader.item

    SettingsScreenModel {
        id: shared
        state: appState
        onProviderPendingKeyRemovalChanged: providerPendingKeyRemoval !== undefined && providerPendingKeyRemoval !== null
                                            ? removalDialog.open() : removalDialog.close()
    }
    LoginItemController { id: loginItemController }
    Component.onCompleted: shared.appear()

    Loader {
        objectName: "vocabularyLoader"
        anchors.fill: parent
        active: shared.showsVocabulary
        sourceComponent: VocabularyView {
            onBack: shared.showsVocabulary = false
        }
    }

    ColumnLayout {
        id: content
        objectName: "settingsContent"
        visible: !shared.showsVocabulary
        anchors.fill: parent
        anchors.topMargin: 64
        anchors.leftMargin: 80
        anchors.rightMargin: 80
        spacing: 44

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 30

            ScreenTitle {
                objectName: "settingsTitle"
                title: "Settings"
            }

            Item {
                id: tabBar
                objectName: "tabBar"
                Layout.fillWidth: true
                implicitHeight: tabs.implicitHeight

                Hairline {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    lineOpacity: 0.12
                }

                Row {
                    id: tabs
                    spacing: 34
                    Repeater {
                        model: SettingsScreens.areaTitles
                        delegate: T.Button {
                            id: tab
                            required property string modelData
                            required property int index
                            readonly property bool selected: root.area === index
                            objectName: "tab_" + modelData
                            padding: 0
                            bottomPadding: 14
                            focusPolicy: Qt.TabFocus
                            implicitWidth: label.implicitWidth
                            implicitHeight: label.implicitHeight + bottomPadding
                            Accessible.name: modelData
                            Accessible.description: SettingsScreens.tabAccessibilityValue(selected)
                            Accessible.onPressAction: clicked()
                            onClicked: if (appState) appState.selectedSettingsArea = index

                            contentItem: Text {
                                id: label
                                text: tab.modelData
                                font: Fonts.font(16, tab.selected ? Font.DemiBold : Font.Medium)
                                color: tab.selected ? Colors.primary : Colors.sorvaneMuted
                            }
                            background: Item {
                                Rectangle {
                                    objectName: "tabBar_" + tab.modelData
                                    anchors.left: parent.left
                                    anchors.right: parent.right
                                    anchors.bottom: parent.bottom
                                    height: 2
                                    visible: tab.selected
                                    color: Colors.sorvane
                                }
                            }
                        }
                    }
                }
            }
        }

        Flickable {
            id: scroller
            objectName: "settingsScroller"
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: width
            contentHeight: areaLoader.height + 48
            boundsBehavior: Flickable.StopAtBounds
            clip: true
            ScrollBar.vertical: bar

            Rectangle {
                objectName: "accountHighlight"
                width: areaLoader.width
                height: areaLoader.height
                visible: root.area === SettingsScreens.accountArea
                color: Qt.alpha(Colors.sorvaneSignal, shared.highlightedPermissions ? 0.12 : 0)
                // In gently, out a little slower.
                Behavior on color {
                    ColorAnimation {
                        duration: shared.highlightedPermissions ? 300 : 350
                        easing.type: shared.highlightedPermissions ? Easing.InOutQuad : Easing.OutQuad
                    }
                }
            }

            Loader {
                id: areaLoader
                objectName: "areaLoader"
                width: scroller.width
                sourceComponent: {
                    switch (root.area) {
                    case SettingsScreens.behaviourArea: return behaviourArea
                    case SettingsScreens.accountArea: return accountArea
                    default: return shortcutsArea
                    }
                }
            }
        }
    }

    // In the right margin, never over a row's control; hidden with the content.
    Item {
        anchors.fill: parent
        visible: content.visible
        ScrollBar {
            id: bar
            objectName: "settingsScrollBar"
            orientation: Qt.Vertical
            // Always shown while there is something to scroll, never when everything fits.
            policy: ScrollBar.AlwaysOn
            visible: size < 1.0
            x: root.width - 80 + 32
            y: content.y + scroller.y
            height: scroller.height
        }
    }

    Component { id: shortcutsArea; ShortcutsArea { screen: shared } }
    Component { id: behaviourArea; BehaviourArea { screen: shared; loginItem: loginItemController } }
    Component { id: accountArea; AccountArea { screen: shared; updates: root.updates } }

    Popup {
        id: removalDialog
        objectName: "removalDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        closePolicy: Popup.CloseOnEscape
        // Dismissing it by any means ends the pending removal.
        onClosed: shared.cancelRemoval()
        padding: 24
        width: 400
        background: RoundedBox {
            radius: 16
            fill: Colors.sorvaneBrightPaper
            stroke: Qt.alpha(Colors.primary, 0.1)
            strokeWidth: 0.8
        }
        contentItem: ColumnLayout {
            spacing: 10
            Text {
                objectName: "removalTitle"
                Layout.fillWidth: true
                text: shared.removalTitle
                font: Fonts.font(15, Font.Bold)
                color: Colors.primary
                wrapMode: Text.Wrap
            }
            Text {
                objectName: "removalMessage"
                Layout.fillWidth: true
                text: "These models will remain unavailable until another key is saved."
                font: Fonts.font(13)
                color: Colors.sorvaneMuted
                wrapMode: Text.Wrap
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 12
                spacing: 10
                Item { Layout.fillWidth: true }
                QuietButton {
                    objectName: "cancelRemoval"
                    title: "Cancel"
                    onClicked: removalDialog.close()
                }
                T.Button {
                    id: removeButton
                    objectName: "confirmRemoval"
                    implicitHeight: 38
                    implicitWidth: removeLabel.implicitWidth + 28
                    focusPolicy: Qt.TabFocus
                    onClicked: shared.confirmRemoval()
                    contentItem: Text {
                        id: removeLabel
                        text: "Remove API key"
                        font: Fonts.font(12.5, Font.DemiBold)
                        color: "white"
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: RoundedBox {
                        radius: 10
                        fill: removeButton.down ? Qt.darker(Colors.sorvaneError, 1.1) : Colors.sorvaneError
                    }
                }
            }
        }
    }
}
