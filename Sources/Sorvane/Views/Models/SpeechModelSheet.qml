import QtQuick
import QtQuick.Controls
import Sorvane

// The speech-model picker: every model of the catalogue, which are on this computer,
// "Get" to fetch one (the state selects it when the file is in place, however long
// after this sheet closed), "Use" to select one, and removal after a confirmation.
ModelSheet {
    id: sheet
    objectName: "speechModelSheet"
    // The last failure of a download or removal started while the sheet is open.
    property string errorMessage
    // The model the open removal dialog asks about.
    property string pendingRemovalID
    property string pendingRemovalName
    readonly property var footerLine: ModelScreens.footerMessage(errorMessage,
                                                                 appState ? appState.preferredSpeechModelDownloadError : null,
                                                                 ModelScreens.speechSheetNote)

    title: "Speech model"
    caption: "On this computer \u00b7 ratings are relative to this catalogue"
    message: footerLine.text
    messageIsError: footerLine.isError

    function download(modelId) {
        errorMessage = ""
        appState.downloadSpeechModelThenSelect(modelId)
    }
    function askToRemove(modelId, name) {
        pendingRemovalID = modelId
        pendingRemovalName = name
        removal.open()
    }

    Connections {
        target: appState
        function onSpeechModelDownloadFailed(modelId, message) { sheet.errorMessage = message }
        function onSpeechModelRemovalFailed(message) { sheet.errorMessage = message }
    }

    rows: SpeechModelRows {
        id: speechRows
        objectName: "speechRows"
        state: appState
        selectedID: appState ? appState.selectedModelID : ""
    }
    rowDelegate: SheetRow {
        id: line
        required property var model
        objectName: "speechRow_" + model.modelId
        width: ListView.view.width
        selected: model.selected
        name: model.name
        detail: model.detail
        speed: model.speed
        quality: model.quality
        size: model.size
        status: model.status
        control: model.control
        controlTitle: model.controlTitle
        progress: model.progress
        menuTitle: model.removable ? "Remove downloaded model" : ""
        onActionClicked: line.model.control === ModelScreens.useControl ? appState.selectedModelID = line.model.modelId
                                                                        : sheet.download(line.model.modelId)
        onMenuTriggered: sheet.askToRemove(line.model.modelId, line.model.name)
    }

    RemovalDialog {
        id: removal
        objectName: "removalDialog"
        title: ModelScreens.removalTitle(sheet.pendingRemovalName)
        text: "The model file will be deleted from this computer. You can download it again later."
        // The id is handed over with the press: the dialog has closed by the time it reports.
        modelId: sheet.pendingRemovalID
        onRemove: (modelId) => appState.removeModel(modelId)
        onClosed: {
            sheet.pendingRemovalID = ""
            sheet.pendingRemovalName = ""
        }
    }
}
