import QtQuick
import QtQuick.Layouts
import Sorvane

// The Behaviour tab: what happens around a Dictation or a Command. Every control writes
// straight into the state (or the login item); controls that cannot apply are dimmed
// and disabled, never their row's texts.
ColumnLayout {
    id: area
    objectName: "behaviourArea"
    // The settings screen's shared state (SettingsScreenModel).
    property var screen: null
    // The screen's LoginItemController.
    property var loginItem: null
    spacing: 0

    // The screen's controller; one of the area's own where it is shown alone.
    readonly property var login: loginItem ? loginItem : (ownLoginItem.item ? ownLoginItem.item : null)
    Loader {
        id: ownLoginItem
        active: area.loginItem === null
        sourceComponent: Component { LoginItemController {} }
    }

    // A failure that leads here: no other screen shows it.
    readonly property var resolution: appState ? appState.errorResolution : null
    readonly property bool showsBanner: SettingsScreens.behaviourShowsBanner(resolution)
    ErrorResolutionBanner {
        objectName: "behaviourBanner"
        Layout.fillWidth: true
        Layout.bottomMargin: 20
        visible: area.showsBanner
        message: area.showsBanner ? area.resolution.message : ""
        onDismiss: appState.errorResolution = null
    }

    SettingsRow {
        objectName: "loginRow"
        Layout.fillWidth: true
        title: "Open at login"
        detail: SettingsAreaRules.loginDetail(area.login ? area.login.message : "")
        KitSwitch {
            objectName: "loginSwitch"
            accessibleName: "Open Sorvane at login"
            value: area.login ? area.login.isEnabled : false
            onUserToggled: (on) => area.login.setEnabled(on)
        }
    }
    SettingsRow {
        objectName: "pasteRow"
        Layout.fillWidth: true
        title: "Paste automatically"
        detail: "Insert the transcript at your cursor"
        KitSwitch {
            objectName: "pasteSwitch"
            accessibleName: "Paste Dictation automatically"
            value: appState.automaticPaste
            onUserToggled: (on) => appState.automaticPaste = on
        }
    }
    SettingsRow {
        objectName: "restoreRow"
        Layout.fillWidth: true
        title: "Restore clipboard"
        detail: "Put your previous clipboard back after the transcript is pasted"
        KitSwitch {
            objectName: "restoreSwitch"
            accessibleName: "Restore clipboard after paste"
            enabled: SettingsAreaRules.restoreSwitchEnabled(appState.automaticPaste)
            opacity: SettingsAreaRules.controlOpacity(enabled)
            value: appState.clipboardRestoreEnabled
            onUserToggled: (on) => appState.clipboardRestoreEnabled = on
        }
    }
    SettingsRow {
        objectName: "restoreDelayRow"
        Layout.fillWidth: true
        title: "Restore after"
        detail: "Seconds the transcript stays on the clipboard"
        KitStepper {
            objectName: "restoreDelayStepper"
            accessibleName: "Clipboard restore delay in seconds"
            Accessible.description: SettingsAreaRules.restoreDelayAccessibleValue(current)
            enabled: SettingsAreaRules.restoreDelayEnabled(appState.automaticPaste, appState.clipboardRestoreEnabled)
            opacity: SettingsAreaRules.controlOpacity(enabled)
            from: SettingsAreaRules.minimumRestoreDelay
            to: SettingsAreaRules.maximumRestoreDelay
            current: appState.clipboardRestoreDelay
            textFromValue: (v) => SettingsAreaRules.restoreDelayLabel(v)
            onStepped: (v) => appState.clipboardRestoreDelay = v
        }
    }
    SettingsRow {
        objectName: "smartDictationRow"
        Layout.fillWidth: true
        title: "Smart Dictation"
        detail: "Clean up transcripts on this computer \u2014 removes \u201cehm\u201d, keeps self-corrections (\u201csix\u2026 no sorry, seven\u201d becomes \u201cseven\u201d). Requires the on-device model"
        KitSwitch {
            objectName: "smartDictationSwitch"
            accessibleName: "Smart Dictation cleanup"
            value: appState.smartDictationEnabled
            onUserToggled: (on) => appState.smartDictationEnabled = on
        }
    }
    SettingsRow {
        objectName: "includeSelectionRow"
        Layout.fillWidth: true
        title: "Send selected text to Command"
        detail: "Include the current selection with each request"
        KitSwitch {
            objectName: "includeSelectionSwitch"
            accessibleName: "Send selected text to Command"
            value: appState.agentSettings.includeSelectedText
            onUserToggled: (on) => appState.agentSettings = SettingsAreaRules.withIncludeSelectedText(appState.agentSettings, on)
        }
    }
    SettingsRow {
        objectName: "agentPasteRow"
        Layout.fillWidth: true
        title: "Paste Command result automatically"
        detail: "Insert the finished result at your cursor"
        KitSwitch {
            objectName: "agentPasteSwitch"
            accessibleName: "Paste Command result automatically"
            value: appState.agentSettings.automaticPaste
            onUserToggled: (on) => appState.agentSettings = SettingsAreaRules.withAutomaticPaste(appState.agentSettings, on)
        }
    }
    SettingsRow {
        objectName: "notificationRow"
        Layout.fillWidth: true
        title: "Command completion notification"
        detail: "Show a desktop notification when the result is ready"
        KitSwitch {
            objectName: "notificationSwitch"
            accessibleName: "Command completion notification"
            value: appState.agentSettings.notifyOnCompletion
            onUserToggled: (on) => appState.agentSettings = SettingsAreaRules.withNotifyOnCompletion(appState.agentSettings, on)
        }
    }
    SettingsRow {
        objectName: "reasoningRow"
        Layout.fillWidth: true
        visible: SettingsAreaRules.showsReasoningRow(appState.agentSettings)
        title: SettingsAreaRules.reasoningRowTitle(appState.agentSettings)
        detail: SettingsAreaRules.reasoningDetail(appState.agentSettings)
        KitPicker {
            id: reasoningPicker
            objectName: "reasoningPicker"
            width: 150
            implicitWidth: 150
            accessibleName: SettingsAreaRules.reasoningRowTitle(appState.agentSettings)
            model: SettingsAreaRules.reasoningOptionTitles(appState.agentSettings)
            selectedIndex: SettingsAreaRules.reasoningSelectedIndex(appState.agentSettings)
            onPicked: (index) => appState.agentSettings = SettingsAreaRules.withReasoningChoice(appState.agentSettings, index)
            // A new list makes the picker select its first entry; a stored effort the
            // provider does not offer must still show no selection.
            onModelChanged: currentIndex = Qt.binding(() => reasoningPicker.selectedIndex)
        }
    }
    SettingsRow {
        objectName: "completionSoundRow"
        Layout.fillWidth: true
        title: "Completion sound"
        detail: "Play after Dictation and Command"
        KitSwitch {
            objectName: "completionSoundSwitch"
            accessibleName: "Completion sounds"
            value: appState.completionSoundEnabled
            onUserToggled: (on) => appState.completionSoundEnabled = on
        }
    }
    SettingsRow {
        objectName: "soundRow"
        Layout.fillWidth: true
        title: "Sound"
        detail: "Choose and preview the completion sound"
        Row {
            objectName: "soundControls"
            spacing: 10
            enabled: appState.completionSoundEnabled
            opacity: SettingsAreaRules.controlOpacity(enabled)
            KitPicker {
                objectName: "soundPicker"
                anchors.verticalCenter: parent.verticalCenter
                width: 140
                implicitWidth: 140
                opacity: 1
                accessibleName: "Completion sound"
                model: SettingsAreaRules.soundTitles
                selectedIndex: appState.completionSound
                onPicked: (index) => appState.completionSound = index
            }
            BorderedRowButton {
                objectName: "previewSound"
                anchors.verticalCenter: parent.verticalCenter
                title: "Preview"
                buttonHeight: 40
                horizontalPadding: 16
                cornerRadius: 11
                fontSize: 14
                opacity: 1
                onClicked: appState.playCompletionSound()
            }
        }
    }

    OverlayAppearanceOptions {
        objectName: "overlayOptions"
        Layout.fillWidth: true
    }

    SettingsRow {
        objectName: "overlayPositionRow"
        Layout.fillWidth: true
        title: "Overlay position"
        detail: "Drag the overlay anywhere; Sorvane remembers it"
        BorderedRowButton {
            objectName: "resetOverlay"
            title: "Reset"
            Accessible.name: "Reset"
            buttonHeight: 40
            horizontalPadding: 18
            cornerRadius: 11
            fontSize: 14
            onClicked: appState.resetOverlayPosition()
        }
    }
    SettingsRow {
        objectName: "vocabularyRow"
        Layout.fillWidth: true
        title: "Vocabulary"
        detail: SettingsAreaRules.vocabularyDetail(appState.vocabulary.length)
        BorderedRowButton {
            objectName: "editVocabulary"
            title: "Edit"
            Accessible.name: "Edit"
            buttonHeight: 40
            horizontalPadding: 18
            cornerRadius: 11
            fontSize: 14
            onClicked: if (area.screen) area.screen.showsVocabulary = true
        }
    }
}
