import QtQuick
import QtQuick.Controls
import QtQuick.Templates as T
import Sorvane

// A button of the composer that shows only its symbol, with its help text on hover.
T.Button {
    id: control
    property string symbol
    property string help
    // Read and pressed by screen readers like a labelled button.
    Accessible.role: Accessible.Button
    Accessible.name: help
    Accessible.onPressAction: control.clicked()

    focusPolicy: Qt.NoFocus
    implicitWidth: 30
    implicitHeight: 30
    opacity: enabled ? 1 : 0.35

    ToolTip.visible: hovered && help !== ""
    ToolTip.text: help
    ToolTip.delay: 600

    contentItem: Item {
        SymbolIcon {
            anchors.centerIn: parent
            name: control.symbol
            size: 14
            color: Colors.primary
        }
    }
    background: RoundedBox {
        radius: 8
        fill: Qt.alpha(Colors.primary, control.down ? 0.1 : (control.hovered ? 0.055 : 0))
    }
}
