import QtQuick
import QtQuick.Templates as T
import Sorvane

// The prominent, filled call to action: title, then an optional trailing symbol.
T.Button {
    id: control
    property string title
    // Read and pressed by screen readers like a labelled button.
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.onPressAction: control.clicked()
    property string iconName
    property bool disabled: false

    enabled: !disabled
    leftPadding: 18
    rightPadding: 18
    implicitHeight: 42
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    focusPolicy: Qt.TabFocus

    readonly property color foreground: disabled ? Colors.secondary : "white"

    contentItem: Row {
        spacing: 8
        Text {
            objectName: "title"
            anchors.verticalCenter: parent.verticalCenter
            text: control.title
            font: Fonts.font(13, Font.DemiBold)
            color: control.foreground
            maximumLineCount: 1
        }
        SymbolIcon {
            objectName: "icon"
            anchors.verticalCenter: parent.verticalCenter
            visible: control.iconName !== ""
            name: control.iconName
            size: 13
            color: control.foreground
        }
    }

    background: RoundedBox {
        radius: 11
        fill: control.disabled ? Qt.alpha(Colors.primary, 0.07) : Colors.sorvane
        opacity: control.down ? 0.85 : 1
    }
}
