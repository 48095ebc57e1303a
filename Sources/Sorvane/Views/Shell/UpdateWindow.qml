import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// The updater's window: one state of the update at a time, with the buttons that
// answer the updater's questions. Its close button answers as "later" or "cancel".
Window {
    id: window
    objectName: "updateWindow"
    title: "Software Update"
    width: 420
    height: Math.max(170, content.implicitHeight + 40)
    minimumWidth: 420
    minimumHeight: 150
    flags: Qt.Dialog
    color: Colors.sorvaneBrightPaper

    property var model: null

    onClosing: (close) => { if (model) model.closeWindow() }

    ColumnLayout {
        id: content
        x: 20
        y: 20
        width: window.width - 40
        height: window.height - 40
        spacing: 12

        Row {
            spacing: 12
            Layout.fillWidth: true
            BrandMark { anchors.verticalCenter: parent.verticalCenter }
            Text {
                objectName: "updateTitle"
                anchors.verticalCenter: parent.verticalCenter
                text: window.model ? window.model.title : ""
                font: Fonts.font(15, Font.DemiBold)
                color: Colors.primary
            }
        }

        Text {
            objectName: "updateMessage"
            Layout.fillWidth: true
            visible: text !== ""
            text: window.model ? window.model.message : ""
            wrapMode: Text.Wrap
            font: Fonts.font(13)
            color: Colors.secondary
        }

        ProgressBar {
            objectName: "updateProgress"
            Layout.fillWidth: true
            visible: window.model ? window.model.showsProgress : false
            indeterminate: window.model ? window.model.progress < 0 : true
            value: window.model ? Math.max(0, window.model.progress) : 0
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: 10
            QuietButton {
                objectName: "updateSecondaryButton"
                visible: title !== ""
                title: window.model ? window.model.secondaryButton : ""
                onClicked: window.model.chooseSecondary()
            }
            PrimaryButton {
                objectName: "updatePrimaryButton"
                visible: title !== ""
                title: window.model ? window.model.primaryButton : ""
                onClicked: window.model.choosePrimary()
            }
        }
    }
}
