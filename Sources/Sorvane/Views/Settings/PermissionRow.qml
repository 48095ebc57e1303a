import QtQuick
import Sorvane

// One permission of the Account area: "Ready" once granted, else a button that asks.
SettingsRow {
    id: row
    property bool granted: false
    signal allow()

    detail: SettingsScreens.permissionDetail(granted)

    Loader {
        sourceComponent: row.granted ? ready : ask
    }
    Component {
        id: ready
        Text {
            objectName: "permissionReady"
            text: "Ready"
            font: Fonts.font(14, Font.DemiBold)
            color: Colors.sorvaneMuted
        }
    }
    Component {
        id: ask
        BorderedRowButton {
            objectName: "permissionAllow"
            title: "Allow"
            buttonHeight: 40
            horizontalPadding: 18
            cornerRadius: 11
            fontSize: 14
            onClicked: row.allow()
        }
    }
}
