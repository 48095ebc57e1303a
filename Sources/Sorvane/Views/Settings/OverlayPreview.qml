import QtQuick
import Sorvane

// A still drawing of the overlay, classic or mini, light or dark, in black and white.
Item {
    id: preview
    property bool mini: false
    property bool dark: false
    readonly property color ink: dark ? "white" : "black"
    objectName: "overlayPreview"
    Accessible.ignored: true
    implicitWidth: mini ? 108 : 184
    implicitHeight: mini ? 32 : 44
    width: implicitWidth
    height: implicitHeight

    // The shadow under the whole drawing.
    Rectangle {
        x: 0; y: 3
        width: parent.width; height: parent.height
        radius: shape.radius
        color: Qt.rgba(0, 0, 0, 0.14)
        opacity: 0.6
    }
    Rectangle {
        id: shape
        objectName: "previewShape"
        anchors.fill: parent
        radius: preview.mini ? height / 2 : 15
        color: preview.dark ? Qt.rgba(0, 0, 0, 0.95) : "white"
        border.width: 0.7
        border.color: preview.dark ? Qt.rgba(1, 1, 1, 0.15) : Qt.rgba(0, 0, 0, 0.12)
        antialiasing: true
    }
    Row {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: preview.mini ? 11 : 13
        anchors.rightMargin: preview.mini ? 11 : 13
        anchors.verticalCenter: parent.verticalCenter
        spacing: preview.mini ? 8 : 9

        Row {
            objectName: "previewWaveform"
            anchors.verticalCenter: parent.verticalCenter
            spacing: 1.8
            height: preview.mini ? 17 : 22
            Repeater {
                model: SettingsAreaRules.previewBars(preview.mini ? 17 : 22)
                Rectangle {
                    required property var modelData
                    anchors.verticalCenter: parent.verticalCenter
                    width: 1.7
                    height: modelData
                    radius: width / 2
                    color: preview.ink
                }
            }
        }
        Column {
            visible: !preview.mini
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2
            Text { text: "Listening"; font: Fonts.font(8.5, Font.DemiBold); color: preview.ink }
            Text { text: "Into Notes"; font: Fonts.font(6.5, Font.Medium); color: preview.ink; opacity: 0.58 }
        }
        TabularText {
            objectName: "previewTimer"
            visible: preview.mini
            anchors.verticalCenter: parent.verticalCenter
            text: "00:08"
            font: Fonts.font(7, Font.DemiBold)
            color: preview.ink
            opacity: 0.68
        }
    }
    // The classic layout's timer sits at the trailing edge, past a flexible space.
    TabularText {
        visible: !preview.mini
        anchors.right: parent.right
        anchors.rightMargin: 13
        anchors.verticalCenter: parent.verticalCenter
        text: "00:08"
        font: Fonts.font(7.5, Font.DemiBold)
        color: preview.ink
        opacity: 0.68
    }
}
