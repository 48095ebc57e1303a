import QtQuick
import QtQuick.Templates as T
import Sorvane

// One button of the result toast's action row.
T.Button {
    id: control
    property string title
    // Read and pressed by screen readers like a labelled button.
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.onPressAction: control.clicked()
    property bool primary: false
    property bool dark: false
    property color contrast: dark ? "white" : "black"

    focusPolicy: Qt.NoFocus
    leftPadding: 10
    rightPadding: 10
    implicitHeight: 25
    implicitWidth: label.implicitWidth + leftPadding + rightPadding

    contentItem: Text {
        id: label
        objectName: "title"
        text: control.title
        font: Fonts.font(10.5, Font.DemiBold)
        color: control.contrast
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: RoundedBox {
        radius: 8
        fill: control.primary ? Qt.alpha(Colors.sorvaneSignal, control.dark ? 0.34 : 0.18)
                              : Qt.alpha(control.contrast, 0.075)
        opacity: control.down ? 0.75 : 1
    }
}
