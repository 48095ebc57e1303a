import QtQuick
import QtQuick.Layouts
import Sorvane

// The Shortcuts tab; its rows come in a later change.
ColumnLayout {
    objectName: "shortcutsArea"
    property var screen: null
    spacing: 0
    SettingsRow {
        Layout.fillWidth: true
        title: "Shortcuts"
        detail: "The shortcut settings are not available in this version yet."
    }
}
