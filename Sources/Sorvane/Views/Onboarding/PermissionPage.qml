import QtQuick
import QtQuick.Layouts
import Sorvane

// A permission step: its number, a glyph (a check mark once granted), title,
// explanation, and the button that asks (disabled once granted).
ColumnLayout {
    id: root
    property bool microphone: true
    property bool granted: false
    readonly property var page: ModelScreens.permissionPage(microphone, granted)
    signal request()

    spacing: 26

    Text {
        Layout.alignment: Qt.AlignHCenter
        text: root.page.number
        font: {
            const f = Fonts.font(11, Font.Bold)
            f.letterSpacing = 1.4
            return f
        }
        color: Colors.secondary
    }
    Rectangle {
        Layout.alignment: Qt.AlignHCenter
        width: 104
        height: 104
        radius: 52
        color: Qt.alpha(Colors.primary, 0.065)
        SymbolIcon {
            objectName: "permissionGlyph"
            anchors.centerIn: parent
            name: root.page.icon
            size: 36
            color: Colors.primary
        }
    }
    Text {
        objectName: "permissionTitle"
        Layout.alignment: Qt.AlignHCenter
        text: root.page.title
        font: {
            const f = Fonts.font(38, Font.Bold)
            f.letterSpacing = -1
            return f
        }
        color: Colors.primary
    }
    Text {
        Layout.alignment: Qt.AlignHCenter
        Layout.maximumWidth: 520
        Layout.preferredWidth: 520
        horizontalAlignment: Text.AlignHCenter
        text: root.page.explanation
        font: Fonts.font(16)
        color: Colors.secondary
        wrapMode: Text.WordWrap
        lineHeight: 1.3
    }
    PrimaryButton {
        objectName: "permissionButton"
        Accessible.name: title
        Layout.alignment: Qt.AlignHCenter
        title: root.page.buttonTitle
        iconName: root.granted ? "checkmark" : "arrow.up.right"
        disabled: !root.page.buttonEnabled
        onClicked: root.request()
    }
}
