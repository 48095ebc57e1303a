import QtQuick
import QtQuick.Templates as T
import Sorvane

// A switch without a visible label. It shows `value` (the setting) and tells the user's
// own flips through `userToggled`; afterwards it shows `value` again, so a change the
// owner refuses puts the switch back.
T.Switch {
    id: control
    property bool value: false
    property string accessibleName
    signal userToggled(bool on)

    checked: value
    implicitWidth: 42
    implicitHeight: 24
    padding: 0
    focusPolicy: Qt.TabFocus
    opacity: enabled ? 1 : 0.42
    Accessible.name: accessibleName

    onToggled: {
        const on = checked
        userToggled(on)
        checked = Qt.binding(() => control.value)
    }

    indicator: Rectangle {
        objectName: "switchTrack"
        width: control.implicitWidth
        height: control.implicitHeight
        radius: height / 2
        color: control.checked ? Colors.sorvaneSignal : Qt.alpha(Colors.sorvane, 0.14)
        border.width: 0.8
        border.color: Qt.alpha(Colors.sorvane, control.checked ? 0.22 : 0.1)

        Rectangle {
            objectName: "switchKnob"
            width: parent.height - 4
            height: width
            radius: width / 2
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: "white"
            border.width: 0.5
            border.color: Qt.alpha(Colors.sorvane, 0.18)
            Behavior on x { NumberAnimation { duration: 120; easing.type: Easing.InOutQuad } }
        }
    }
    contentItem: Item {}
}
