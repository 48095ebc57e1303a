import QtQuick
import QtQuick.Layouts
import Sorvane

// The Behaviour tab; its rows come in a later change, except the vocabulary editor's.
ColumnLayout {
    objectName: "behaviourArea"
    // The settings screen's shared state (SettingsScreenModel).
    property var screen: null
    spacing: 0
    SettingsRow {
        Layout.fillWidth: true
        title: "Vocabulary"
        detail: "Names and terms the speech engine should spell your way."
        BorderedRowButton {
            objectName: "editVocabulary"
            title: "Edit"
            buttonHeight: 40
            horizontalPadding: 18
            cornerRadius: 11
            fontSize: 14
            onClicked: if (screen) screen.showsVocabulary = true
        }
    }
}
