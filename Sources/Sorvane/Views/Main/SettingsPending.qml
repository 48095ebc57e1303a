import QtQuick
import Sorvane

// The Settings section until its screen exists: says so, and opens the vocabulary
// editor, which the settings show in place of their content.
Item {
    id: root
    objectName: "settingsPending"
    property bool showingVocabulary: false

    SectionPending {
        anchors.fill: parent
        visible: !root.showingVocabulary
        title: "Settings"
        line: "The settings screen is not available in this version yet."

        QuietButton {
            objectName: "openVocabulary"
            title: "Vocabulary"
            iconName: "text.quote"
            onClicked: root.showingVocabulary = true
        }
    }

    Loader {
        anchors.fill: parent
        active: root.showingVocabulary
        sourceComponent: VocabularyView {
            onBack: root.showingVocabulary = false
        }
    }
}
