import QtQuick
import QtQuick.Layouts
import Sorvane

// The overlay's colour scheme and layout, with a small drawing of the overlay in each
// layout tile, in the chosen scheme ("Automatic" follows the desktop as it changes).
Item {
    id: block
    readonly property bool previewDark: SettingsAreaRules.previewUsesDark(appState.overlayAppearance, DesktopAppearance.dark)
    implicitHeight: column.implicitHeight + 48 + 1

    ColumnLayout {
        id: column
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.topMargin: 24
        spacing: 18

        RowLayout {
            Layout.fillWidth: true
            spacing: 24
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 5
                Text {
                    text: "Overlay appearance"
                    font: Fonts.font(17, Font.DemiBold)
                    color: Colors.primary
                }
                Text {
                    Layout.fillWidth: true
                    text: "Live preview \u00b7 Automatic follows your computer"
                    font: Fonts.font(13.5)
                    color: Colors.sorvaneMuted
                    wrapMode: Text.Wrap
                }
            }
            KitPicker {
                objectName: "appearancePicker"
                implicitWidth: 150
                accessibleName: "Overlay appearance"
                model: SettingsAreaRules.appearanceTitles
                selectedIndex: appState.overlayAppearance
                onPicked: (index) => appState.overlayAppearance = index
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 16
            Repeater {
                model: 2
                delegate: Item {
                    id: tile
                    required property int index
                    readonly property bool selected: appState.overlaySize === index
                    objectName: "sizeTile_" + index
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1
                    implicitHeight: tileColumn.implicitHeight + 24
                    activeFocusOnTab: true
                    Accessible.role: Accessible.Button
                    Accessible.name: SettingsAreaRules.sizeAccessibleName(index)
                    Accessible.description: SettingsAreaRules.selectionAccessibleValue(selected)
                    Accessible.onPressAction: choose()
                    Keys.onSpacePressed: choose()
                    function choose() { appState.overlaySize = index }

                    RoundedBox {
                        objectName: "tileBackground"
                        anchors.fill: parent
                        radius: 14
                        fill: tile.selected ? Qt.alpha(Colors.sorvaneSignal, 0.12) : "transparent"
                        stroke: tile.selected ? Colors.sorvane : Qt.alpha(Colors.sorvane, 0.12)
                        strokeWidth: tile.selected ? 1.5 : 1
                    }
                    ColumnLayout {
                        id: tileColumn
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.top: parent.top
                        anchors.margins: 12
                        spacing: 12
                        RoundedBox {
                            Layout.fillWidth: true
                            implicitHeight: 82
                            radius: 12
                            fill: Qt.alpha(Colors.sorvane, 0.045)
                            OverlayPreview {
                                anchors.centerIn: parent
                                mini: tile.index === 1
                                dark: block.previewDark
                            }
                        }
                        Row {
                            Layout.alignment: Qt.AlignHCenter
                            spacing: 7
                            SymbolIcon {
                                objectName: "tileMark"
                                anchors.verticalCenter: parent.verticalCenter
                                name: tile.selected ? "checkmark.circle.fill" : "circle"
                                size: 13
                                color: Colors.sorvane
                            }
                            Text {
                                anchors.verticalCenter: parent.verticalCenter
                                text: SettingsAreaRules.sizeTitle(tile.index)
                                font: Fonts.font(12.5, Font.DemiBold)
                                color: Colors.sorvane
                            }
                        }
                    }
                    TapHandler { onTapped: tile.choose() }
                }
            }
        }
    }

    Hairline {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        lineOpacity: 0.1
    }
}
