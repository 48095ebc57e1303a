import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// "About Sorvane": the mark, the name, the version and build.
Popup {
    id: about
    objectName: "aboutPanel"
    // The version and build, as the Account area shows them.
    property string version
    modal: true
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    padding: 28
    width: 320
    background: RoundedBox {
        radius: 16
        fill: Colors.sorvaneBrightPaper
        stroke: Qt.alpha(Colors.primary, 0.1)
        strokeWidth: 0.8
    }
    contentItem: ColumnLayout {
        spacing: 10
        BrandMark {
            Layout.alignment: Qt.AlignHCenter
            size: 64
        }
        Text {
            objectName: "aboutName"
            Layout.alignment: Qt.AlignHCenter
            text: "Sorvane"
            font: Fonts.font(17, Font.DemiBold)
            color: Colors.primary
        }
        Text {
            objectName: "aboutVersion"
            Layout.alignment: Qt.AlignHCenter
            text: "Version " + about.version
            font: Fonts.font(12)
            color: Colors.secondary
        }
        QuietButton {
            objectName: "aboutClose"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            title: "Close"
            onClicked: about.close()
        }
    }
}
