import QtQuick
import QtQuick.Templates as T
import Sorvane

// A borderless text button (the composer's "Copy latest" and "Paste").
T.Button {
    id: control
    property string title
    // Read and pressed by screen readers like a labelled button.
    Accessible.role: Accessible.Button
    Accessible.name: title
    Accessible.onPressAction: control.clicked()
    focusPolicy: Qt.NoFocus
    implicitWidth: label.implicitWidth
    implicitHeight: label.implicitHeight + 4
    contentItem: Text {
        id: label
        text: control.title
        font: Fonts.font(11, Font.Medium)
        color: control.down ? Colors.secondary : Colors.primary
    }
    background: null
}
