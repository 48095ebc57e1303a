import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// Asks before a downloaded model is deleted. "Remove downloaded model" reports the
// model the dialog was opened for, taken at the press, before the dialog closes.
Popup {
    id: dialog
    property string title
    property string text
    property string modelId
    signal remove(string modelId)

    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    closePolicy: Popup.CloseOnEscape
    padding: 24
    width: 420
    background: RoundedBox {
        radius: 14
        fill: Colors.sorvaneBrightPaper
        stroke: Qt.alpha(Colors.primary, 0.12)
        strokeWidth: 0.8
    }

    contentItem: ColumnLayout {
        spacing: 14
        Text {
            objectName: "removalTitle"
            Layout.fillWidth: true
            text: dialog.title
            font: Fonts.font(15, Font.Bold)
            color: Colors.primary
            wrapMode: Text.WordWrap
        }
        Text {
            Layout.fillWidth: true
            text: dialog.text
            font: Fonts.font(13)
            color: Colors.secondary
            wrapMode: Text.WordWrap
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            Layout.topMargin: 6
            spacing: 10
            BorderedRowButton {
                objectName: "cancelRemoval"
                Accessible.name: "Cancel"
                title: "Cancel"
                buttonHeight: 32
                fontSize: 13
                onClicked: dialog.close()
            }
            AbstractButton {
                objectName: "confirmRemoval"
                Accessible.name: "Remove downloaded model"
                Accessible.onPressAction: clicked()
                implicitHeight: 32
                implicitWidth: confirmText.implicitWidth + 28
                contentItem: Text {
                    id: confirmText
                    text: "Remove downloaded model"
                    font: Fonts.font(13, Font.DemiBold)
                    color: "white"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: RoundedBox { radius: 8; fill: Colors.sorvaneError }
                onClicked: {
                    const id = dialog.modelId
                    dialog.close()
                    if (id !== "")
                        dialog.remove(id)
                }
            }
        }
    }
}
