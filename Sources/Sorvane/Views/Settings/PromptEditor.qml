import QtQuick
import Sorvane

// A multi-line prompt field, 74 to 120 high, on a faint ink box, with its placeholder
// while it holds no character at all (a space counts). It shows `value` and tells the
// user's edits through `edited`; the caller writes them back.
RoundedBox {
    id: root
    property string value
    property string placeholder
    property string accessibleName
    signal edited(string text)

    radius: 10
    fill: Qt.alpha(Colors.sorvane, 0.045)
    implicitHeight: Math.max(74, Math.min(120, editor.implicitHeight + 16))

    Flickable {
        id: flick
        anchors.fill: parent
        anchors.margins: 8
        contentWidth: width
        contentHeight: editor.implicitHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds

        TextEdit {
            id: editor
            objectName: "promptText"
            width: flick.width
            leftPadding: 5
            rightPadding: 5
            topPadding: 8
            bottomPadding: 8
            text: root.value
            font: Fonts.font(13)
            color: Colors.primary
            wrapMode: TextEdit.Wrap
            selectByMouse: true
            Accessible.role: Accessible.EditableText
            Accessible.name: root.accessibleName
            onTextChanged: if (text !== root.value) root.edited(text)
            onCursorRectangleChanged: {
                if (cursorRectangle.y < flick.contentY)
                    flick.contentY = cursorRectangle.y
                else if (cursorRectangle.y + cursorRectangle.height > flick.contentY + flick.height)
                    flick.contentY = cursorRectangle.y + cursorRectangle.height - flick.height
            }
        }
    }

    Text {
        objectName: "promptPlaceholder"
        visible: editor.text.length === 0
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.leftMargin: 13
        anchors.rightMargin: 13
        anchors.topMargin: 16
        text: root.placeholder
        textFormat: Text.PlainText
        font: Fonts.font(13)
        color: Qt.alpha(Colors.sorvaneMuted, 0.75)
        wrapMode: Text.Wrap
    }
}
