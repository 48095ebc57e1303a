import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// The Models section: the speech model Dictation uses and the writing model Command
// uses, each with "Change" opening its picker sheet, and a note on cloud models. The
// screen only reads the state; the sheets change it.
Item {
    id: root
    objectName: "modelsView"
    // "" for none, "speech" or "writing".
    property string sheet: ""
    readonly property var speechModel: appState ? appState.selectedModel : null
    readonly property var writingModel: appState ? appState.selectedAgentModel : null
    // Redrawn when a download or the disk changes what the fact lines say.
    readonly property int speechRevision: appState ? appState.modelStore.revision : 0
    readonly property int writingRevision: appState ? appState.agentModelStore.revision : 0

    // Scrolls only when the banner makes the screen taller than the window.
    Flickable {
        id: page
        anchors.fill: parent
        contentHeight: Math.max(height, column.implicitHeight + 128)
        boundsBehavior: Flickable.StopAtBounds
        clip: true

    ColumnLayout {
        id: column
        x: 80
        y: 64
        width: page.width - 160
        height: page.contentHeight - 128
        // 56 between the title, the banner and the blocks; the footer keeps to the
        // bottom, at least 24 below the blocks, so the screen fits the smallest window.
        spacing: 0

        ScreenTitle {
            objectName: "modelsTitle"
            title: "Models"
        }

        ErrorResolutionBanner {
            objectName: "modelsBanner"
            Layout.fillWidth: true
            Layout.topMargin: 56
            visible: appState ? ModelScreens.showsErrorBanner(appState.errorResolution) : false
            message: appState && appState.errorResolution ? appState.errorResolution.message : ""
            onDismiss: appState.errorResolution = null
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.topMargin: 56
            spacing: 0
            ModelBlock {
                objectName: "speechBlock"
                Layout.fillWidth: true
                Layout.bottomMargin: 34
                label: "Speech"
                tag: ModelScreens.speechLocationTag()
                name: root.speechModel ? root.speechModel.name : "No model selected"
                fact: root.speechRevision, root.speechModel, ModelScreens.speechFact(appState)
                readonly property var ratings: ModelScreens.speechRatings(root.speechModel)
                speed: ratings[0]
                quality: ratings[1]
                onChange: root.sheet = "speech"
            }
            Hairline {
                Layout.fillWidth: true
                lineOpacity: 0.12
            }
            ModelBlock {
                objectName: "writingBlock"
                Layout.fillWidth: true
                Layout.topMargin: 34
                label: "Writing"
                tag: ModelScreens.writingLocationTag(root.writingModel)
                name: root.writingModel ? root.writingModel.name : "No model selected"
                fact: root.writingRevision, root.writingModel, ModelScreens.writingFact(appState)
                readonly property var ratings: ModelScreens.writingRatings(root.writingModel)
                speed: ratings[0]
                quality: ratings[1]
                onChange: root.sheet = "writing"
            }
        }

        Item { Layout.fillHeight: true; Layout.minimumHeight: 24 }

        RowLayout {
            objectName: "modelsFooter"
            Layout.fillWidth: true
            spacing: 14
            LocationMarker {
                text: "VIA API"
                outlined: true
            }
            Text {
                Layout.fillWidth: true
                text: "OpenAI, Gemini and Mistral writing models are available once a key is saved in Settings \u203a Account."
                font: Fonts.font(14)
                color: Colors.sorvaneMuted
                wrapMode: Text.WordWrap
            }
        }
    }

    }

    Popup {
        id: sheetPopup
        objectName: "modelSheetPopup"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        padding: 0
        margins: 0
        visible: root.sheet !== ""
        closePolicy: Popup.CloseOnEscape
        onClosed: root.sheet = ""
        background: RoundedBox {
            radius: 14
            fill: Colors.sorvaneBrightPaper
            stroke: Qt.alpha(Colors.primary, 0.12)
            strokeWidth: 0.8
        }
        contentItem: Loader {
            objectName: "sheetLoader"
            sourceComponent: root.sheet === "speech" ? speechSheet : root.sheet === "writing" ? writingSheet : null
        }
    }

    Component {
        id: speechSheet
        SpeechModelSheet { onDone: root.sheet = "" }
    }
    Component {
        id: writingSheet
        WritingModelSheet {
            onDone: root.sheet = ""
            onDismiss: root.sheet = ""
        }
    }
}
