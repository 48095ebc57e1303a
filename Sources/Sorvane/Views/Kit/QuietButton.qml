import QtQuick
import QtQuick.Templates as T
import Sorvane

// The secondary, outlined button: an optional leading symbol, then the title.
T.Button {
    id: control
    property string title
    // Read and pressed by screen readers like a labelled button.
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.onPressAction: control.clicked()
    property string iconName

    leftPadding: 14
    rightPadding: 14
    implicitHeight: 38
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    focusPolicy: Qt.TabFocus

    contentItem: Row {
        spacing: 7
        SymbolIcon {
            objectName: "icon"
            anchors.verticalCenter: parent.verticalCenter
            visible: control.iconName !== ""
            name: control.iconName
            size: 12.5
            color: Colors.primary
        }
        Text {
            objectName: "title"
            anchors.verticalCenter: parent.verticalCenter
            text: control.title
            font: Fonts.font(12.5, Font.DemiBold)
            color: Colors.primary
            maximumLineCount: 1
        }
    }

    background: RoundedBox {
        radius: 10
        fill: Qt.alpha(Colors.primary, control.down ? 0.09 : 0.045)
        stroke: Qt.alpha(Colors.primary, 0.11)
        strokeWidth: 0.8
    }
}
