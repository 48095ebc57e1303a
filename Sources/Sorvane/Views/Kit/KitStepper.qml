import QtQuick
import QtQuick.Templates as T
import Sorvane

// A whole-number stepper: the value between a minus and a plus. It shows `current`
// (the setting) and tells the user's own steps through `stepped`; afterwards it shows
// `current` again, so a value the owner clamps or refuses puts the stepper back.
T.SpinBox {
    id: control
    property int current: 0
    property string suffix
    property string accessibleName
    signal stepped(int value)

    value: current
    editable: false
    implicitWidth: 132
    implicitHeight: 34
    leftPadding: 34
    rightPadding: 34
    font: Fonts.font(13.5, Font.DemiBold)
    focusPolicy: Qt.TabFocus
    opacity: enabled ? 1 : 0.42
    Accessible.name: accessibleName
    textFromValue: (v) => suffix === "" ? String(v) : v + " " + suffix

    onValueModified: {
        const v = value
        stepped(v)
        value = Qt.binding(() => control.current)
    }

    contentItem: Item {
        TabularText {
            objectName: "stepperValue"
            anchors.centerIn: parent
            text: control.textFromValue(control.value, control.locale)
            font: control.font
            color: Colors.primary
        }
    }

    down.indicator: Item {
        objectName: "stepperDown"
        x: 0
        width: 34
        height: control.height
        opacity: control.value > control.from ? 1 : 0.35
        SymbolIcon { anchors.centerIn: parent; name: "minus"; size: 11; color: Colors.primary }
    }
    up.indicator: Item {
        objectName: "stepperUp"
        x: control.width - width
        width: 34
        height: control.height
        opacity: control.value < control.to ? 1 : 0.35
        SymbolIcon { anchors.centerIn: parent; name: "plus"; size: 11; color: Colors.primary }
    }

    background: RoundedBox {
        radius: 10
        fill: Qt.alpha(Colors.sorvane, 0.05)
        stroke: Qt.alpha(Colors.sorvane, 0.12)
        strokeWidth: 0.8
    }
}
