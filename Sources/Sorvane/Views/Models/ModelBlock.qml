import QtQuick
import QtQuick.Layouts
import Sorvane

// One model of the Models screen: label and location tag, name, facts, ratings, and
// "Change", which opens the block's picker sheet.
RowLayout {
    id: root
    property string label
    property string tag
    property string name
    property string fact
    property int speed: 0
    property int quality: 0
    signal change()

    spacing: 24

    ColumnLayout {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignBottom
        spacing: 12
        Row {
            spacing: 12
            Eyebrow {
                anchors.verticalCenter: parent.verticalCenter
                text: root.label
                size: 10
                tracking: 1.4
                color: Colors.sorvaneMuted
            }
            LocationMarker {
                objectName: "locationTag"
                anchors.verticalCenter: parent.verticalCenter
                text: root.tag
            }
        }
        Text {
            objectName: "blockName"
            Layout.fillWidth: true
            text: root.name
            font: {
                const f = Fonts.font(38, Font.DemiBold)
                f.letterSpacing = -1.4
                return f
            }
            color: Colors.primary
            maximumLineCount: 1
            elide: Text.ElideRight
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 23
        }
        Text {
            objectName: "blockFact"
            Layout.fillWidth: true
            text: root.fact
            font: Fonts.font(15)
            color: Colors.sorvaneMuted
            maximumLineCount: 1
            elide: Text.ElideRight
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 12
        }
        Row {
            spacing: 26
            RatingMeter { objectName: "speedMeter"; label: "Speed"; value: root.speed }
            RatingMeter { objectName: "accuracyMeter"; label: "Accuracy"; value: root.quality }
        }
    }
    BorderedRowButton {
        objectName: "changeButton"
        Layout.alignment: Qt.AlignBottom
        title: "Change"
        Accessible.name: "Change " + root.label.toLowerCase() + " model"
        buttonHeight: 46
        horizontalPadding: 22
        cornerRadius: 12
        fontSize: 14
        onClicked: root.change()
    }
}
