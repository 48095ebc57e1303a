import QtQuick
import QtQuick.Templates as T
import Sorvane

// An outlined button whose metrics the caller chooses; the whole rectangle takes clicks.
T.Button {
    id: control
    property string title
    // Read and pressed by screen readers like a labelled button.
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.onPressAction: control.clicked()
    property real buttonHeight: 30
    property real cornerRadius: 8
    property real fontSize: 12
    property bool disabled: false

    enabled: !disabled
    opacity: disabled ? 0.42 : 1
    horizontalPadding: 12
    topPadding: 0
    bottomPadding: 0
    implicitHeight: buttonHeight
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    focusPolicy: Qt.TabFocus

    contentItem: Text {
        objectName: "title"
        text: control.title
        font: Fonts.font(control.fontSize, Font.DemiBold)
        color: Colors.primary
        maximumLineCount: 1
        verticalAlignment: Text.AlignVCenter
        horizontalAlignment: Text.AlignHCenter
    }

    background: RoundedBox {
        radius: control.cornerRadius
        fill: control.down ? Qt.alpha(Colors.primary, 0.05) : "transparent"
        stroke: Qt.alpha(Colors.sorvane, 0.2)
        strokeWidth: 1
    }
}
