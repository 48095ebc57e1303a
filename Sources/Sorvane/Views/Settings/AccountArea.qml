import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Sorvane

// The Account tab: a banner for a key or permission failure, one key row per cloud
// provider, where the keys are kept, the three permissions, automatic updates and the
// version.
ColumnLayout {
    id: root
    objectName: "accountArea"
    // The settings screen's shared state (SettingsScreenModel) and the UpdateController.
    property var screen: null
    property var updates: null
    readonly property var resolution: appState ? appState.errorResolution : null
    readonly property bool showsBanner: SettingsScreens.accountShowsBanner(resolution)
    spacing: 0

    ErrorResolutionBanner {
        objectName: "accountBanner"
        Layout.fillWidth: true
        Layout.bottomMargin: 20
        visible: root.showsBanner
        message: root.showsBanner ? root.resolution.message : ""
        onDismiss: appState.errorResolution = null
    }

    Repeater {
        model: SettingsScreens.keyProviders
        delegate: APIKeyRow {
            required property int modelData
            Layout.fillWidth: true
            provider: modelData
            screen: root.screen
        }
    }

    Text {
        objectName: "keyringNote"
        Layout.fillWidth: true
        Layout.topMargin: 16
        Layout.bottomMargin: 8
        text: "Keys are stored in the system keyring and billed directly to your API account."
        font: Fonts.font(13.5)
        color: Colors.sorvaneMuted
        wrapMode: Text.Wrap
    }

    PermissionRow {
        objectName: "permission_Microphone"
        Layout.fillWidth: true
        title: "Microphone"
        granted: appState ? appState.microphoneGranted : false
        onAllow: appState.requestMicrophone()
    }
    PermissionRow {
        objectName: "permission_Accessibility"
        Layout.fillWidth: true
        title: "Accessibility"
        granted: appState ? appState.accessibilityGranted : false
        onAllow: appState.requestAccessibility()
    }
    PermissionRow {
        objectName: "permission_ScreenRecording"
        Layout.fillWidth: true
        title: "Screen Recording"
        granted: appState ? appState.screenRecordingGranted : false
        onAllow: appState.requestScreenRecording()
    }

    SettingsRow {
        id: updatesRow
        objectName: "updatesRow"
        Layout.fillWidth: true
        readonly property bool configured: root.updates ? root.updates.isConfigured === true : false
        title: "Automatic updates"
        detail: SettingsScreens.updatesDetail(configured)
        KitSwitch {
            objectName: "updatesSwitch"
            accessibleName: "Automatic update downloads"
            enabled: updatesRow.configured
            value: root.updates ? root.updates.automaticallyDownloadsUpdates === true : false
            onUserToggled: (on) => {
                if (root.updates && root.updates.isConfigured)
                    root.updates.automaticallyDownloadsUpdates = on
            }
        }
    }

    SettingsRow {
        objectName: "versionRow"
        Layout.fillWidth: true
        title: "Version"
        detail: SettingsScreens.buildLabel
    }
}
