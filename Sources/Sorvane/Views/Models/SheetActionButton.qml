import QtQuick
import Sorvane

// A row's trailing button ("Use", "Get", "Key"), at the trailing edge of its slot.
Item {
    id: root
    property string title
    // What assistive technology calls the button ("Get Swift"); the title alone by default.
    property string accessibleName: title
    signal clicked()
    implicitHeight: button.implicitHeight
    implicitWidth: button.implicitWidth

    BorderedRowButton {
        id: button
        objectName: "actionButton"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        title: root.title
        Accessible.name: root.accessibleName
        buttonHeight: 34
        horizontalPadding: 16
        cornerRadius: 10
        fontSize: 13
        onClicked: root.clicked()
    }
}
