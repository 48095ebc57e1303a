import QtQuick
import QtQuick.Templates as T
import Sorvane

// A secret entry field: what is typed is masked, Return does nothing, and it sits on a
// faint ink fill 40 high with the text inset 14 on both sides.
RoundedBox {
    id: root
    property alias text: input.text
    property alias placeholder: placeholderText.text
    property string accessibleName
    readonly property alias input: input
    // Each edit of the user's, with the text as typed.
    signal edited(string text)

    implicitHeight: 40
    implicitWidth: 420
    radius: 11
    fill: Qt.alpha(Colors.sorvane, 0.06)

    T.TextField {
        id: input
        objectName: "maskedInput"
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        padding: 0
        echoMode: TextInput.Password
        inputMethodHints: Qt.ImhHiddenText | Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
        font: Fonts.font(14)
        color: Colors.primary
        selectionColor: Qt.alpha(Colors.sorvaneSignal, 0.9)
        selectedTextColor: Colors.sorvane
        verticalAlignment: TextInput.AlignVCenter
        selectByMouse: true
        Accessible.name: root.accessibleName
        onTextEdited: root.edited(text)

        Text {
            id: placeholderText
            objectName: "maskedPlaceholder"
            anchors.fill: parent
            verticalAlignment: Text.AlignVCenter
            visible: input.text.length === 0 && !input.preeditText
            font: input.font
            color: Qt.alpha(Colors.primary, 0.3)
            elide: Text.ElideRight
        }
    }
}
