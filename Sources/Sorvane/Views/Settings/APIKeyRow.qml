import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// The key of one cloud provider: a row that says whether a key is stored, and, while
// open, the masked field with "Save key", "Remove key" (with a stored key), the link to
// the provider's key page and the last message of this provider's key.
ColumnLayout {
    id: root
    property int provider
    // The settings screen's shared state (SettingsScreenModel).
    property var screen: null
    readonly property string name: SettingsScreens.providerName(provider)
    readonly property bool configured: appState ? appState.configuredCloudProviders.includes(provider) : false
    readonly property bool keysLoaded: appState ? appState.cloudKeysLoaded : false
    readonly property string loadError: appState ? (keysLoaded, configured, appState.apiKeys.loadError(provider)) : ""
    readonly property bool open: screen !== null && screen.expandedProvider === provider
    readonly property bool pending: appState ? appState.apiKeys.pendingProviders.includes(provider) : false
    readonly property string draft: screen ? (screen.drafts[String(provider)] || "") : ""
    readonly property string message: screen ? (screen.messages[String(provider)] || "") : ""

    objectName: "keyRow_" + name
    spacing: 0

    SettingsRow {
        objectName: "keyRowHeader"
        Layout.fillWidth: true
        title: root.name + " API key"
        detail: SettingsScreens.keyRowDetail(root.provider, root.configured, root.keysLoaded, root.loadError)
        BorderedRowButton {
            objectName: "keyRowButton"
            title: SettingsScreens.keyRowButtonTitle(root.open, root.configured)
            buttonHeight: 40
            horizontalPadding: 18
            cornerRadius: 11
            fontSize: 14
            onClicked: if (root.screen) root.screen.toggleRow(root.provider)
        }
    }

    ColumnLayout {
        objectName: "keyEntry"
        Layout.fillWidth: true
        Layout.topMargin: root.open ? 16 : 0
        Layout.bottomMargin: root.open ? 24 : 0
        visible: root.open
        spacing: 12

        KitMaskedField {
            objectName: "keyField"
            Layout.fillWidth: true
            text: root.draft
            placeholder: SettingsScreens.keyFieldPlaceholder(root.provider, root.configured)
            accessibleName: root.name + " API key"
            onEdited: (text) => root.screen.setDraft(root.provider, text)
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 12

            BorderedRowButton {
                objectName: "saveKey"
                title: "Save key"
                buttonHeight: 40
                horizontalPadding: 18
                cornerRadius: 11
                fontSize: 14
                disabled: !SettingsScreens.canSaveKey(root.draft, root.pending)
                onClicked: root.screen.saveKey(root.provider)
            }
            T.Button {
                objectName: "removeKey"
                visible: root.configured
                enabled: !root.pending
                opacity: enabled ? 1 : 0.42
                padding: 0
                implicitWidth: removeLabel.implicitWidth
                implicitHeight: 40
                focusPolicy: Qt.TabFocus
                onClicked: root.screen.requestRemoval(root.provider)
                contentItem: Text {
                    id: removeLabel
                    text: "Remove key"
                    font: Fonts.font(14, Font.DemiBold)
                    color: Colors.sorvaneError
                    verticalAlignment: Text.AlignVCenter
                }
                background: Item {}
            }
            T.Button {
                id: link
                objectName: "keyPageLink"
                padding: 0
                implicitWidth: linkLabel.implicitWidth
                implicitHeight: 40
                focusPolicy: Qt.TabFocus
                onClicked: Qt.openUrlExternally(SettingsScreens.keyManagementPage(root.provider))
                contentItem: Text {
                    id: linkLabel
                    text: "Create or manage keys"
                    font: Fonts.font(13.5, Font.DemiBold)
                    color: link.palette.link
                    verticalAlignment: Text.AlignVCenter
                }
                background: Item {}
                HoverHandler { cursorShape: Qt.PointingHandCursor }
            }
            Item { Layout.fillWidth: true }
        }

        Text {
            objectName: "keyMessage"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Layout.fillWidth: true
            visible: root.message !== ""
            text: root.message
            font: Fonts.font(13)
            color: Colors.sorvaneMuted
            wrapMode: Text.Wrap
        }
    }
}
