import QtQuick
import Sorvane

// The recorder of one global shortcut: a button showing the combination; clicked, it
// shows "Press keys…" and takes the next key press of the window (ShortcutCapture),
// which it hands out through `recorded`. Under it, in the error colour, the capture's
// hint, else why the system refused the shortcut.
Column {
    id: root
    property var shortcut: null
    property bool requiresModifier: true
    property string refusal
    property string accessibleName
    readonly property alias capturing: capture.capturing
    signal recorded(var shortcut)

    spacing: 4

    ShortcutCapture {
        id: capture
        objectName: "recorderButton"
        anchors.right: parent.right
        stateObject: appState
        requiresModifier: root.requiresModifier
        width: Math.max(118, title.implicitWidth + 36)
        height: Math.max(40, title.implicitHeight)
        activeFocusOnTab: true
        Accessible.role: Accessible.Button
        Accessible.name: root.accessibleName
        Accessible.description: title.text
        Accessible.onPressAction: capture.toggle()
        Keys.onSpacePressed: capture.toggle()
        onRecorded: (value) => root.recorded(value)

        RoundedBox {
            anchors.fill: parent
            radius: 11
            fill: capture.capturing ? Qt.alpha(Colors.sorvaneSignal, 0.34) : Qt.alpha(Colors.sorvane, 0.06)
            stroke: capture.capturing ? Colors.sorvane : Qt.alpha(Colors.sorvane, 0.12)
            strokeWidth: 1
        }
        Text {
            id: title
            objectName: "recorderTitle"
            anchors.centerIn: parent
            text: capture.capturing ? "Press keys\u2026" : (root.shortcut ? root.shortcut.displayName : "")
            textFormat: Text.PlainText
            font: Fonts.font(15, Font.DemiBold)
            color: Colors.primary
            maximumLineCount: 1
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        TapHandler { onTapped: capture.toggle() }
    }

    Text {
        objectName: "recorderHint"
        anchors.right: parent.right
        readonly property string message: capture.validationMessage !== "" ? capture.validationMessage : root.refusal
        visible: message !== ""
        text: message
        textFormat: Text.PlainText
        font: Fonts.font(11, Font.Medium)
        color: Colors.sorvaneError
        Accessible.role: Accessible.StaticText
        Accessible.name: message
        horizontalAlignment: Text.AlignRight
        width: Math.min(implicitWidth, 260)
        wrapMode: Text.Wrap
    }
}
