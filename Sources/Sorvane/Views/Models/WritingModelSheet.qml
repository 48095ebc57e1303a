import QtQuick
import QtQuick.Controls
import Sorvane

// The writing-model picker: the built-in, local and cloud models in three sections.
// "Use" makes one the Command model, "Get" fetches a local model's files (the state
// selects it when they are in place), "Key" leads to the provider's key in Settings;
// a downloaded local model is removed at once from its row's menu.
ModelSheet {
    id: sheet
    objectName: "writingModelSheet"
    property string errorMessage
    signal dismiss()
    readonly property var footerLine: ModelScreens.footerMessage(errorMessage, null, ModelScreens.writingSheetNote)

    title: "Writing model"
    caption: "Command \u00b7 ratings are relative to this catalogue"
    message: footerLine.text
    messageIsError: footerLine.isError

    Connections {
        target: appState
        function onWritingModelOperationFailed(modelId, message) { sheet.errorMessage = message }
    }

    function act(control, modelId, keyProvider) {
        if (control === ModelScreens.keyControl) {
            sheet.dismiss()
            appState.openAPIKeySettings(keyProvider)
            return
        }
        errorMessage = ""
        if (control === ModelScreens.useControl)
            appState.selectWritingModel(modelId)
        else if (control === ModelScreens.getControl)
            appState.downloadWritingModelThenSelect(modelId)
    }

    rows: WritingModelRows {
        id: writingRows
        objectName: "writingRows"
        state: appState
    }
    rowDelegate: Loader {
        id: line
        required property bool isHeader
        required property var model
        width: ListView.view.width
        sourceComponent: isHeader ? headerLine : modelLine
        Component {
            id: headerLine
            SheetSectionHeader {
                objectName: "writingHeader_" + line.model.rowId
                icon: line.model.icon
                title: line.model.title
                detail: line.model.headerDetail
                tag: line.model.tag
            }
        }
        Component {
            id: modelLine
            SheetRow {
                objectName: "writingRow_" + line.model.modelId
                selected: line.model.selected
                name: line.model.name
                detail: line.model.detail
                speed: line.model.speed
                quality: line.model.quality
                size: line.model.size
                status: line.model.status
                control: line.model.control
                controlTitle: line.model.controlTitle
                progress: line.model.progress
                menuTitle: line.model.removable ? "Remove downloaded model" : ""
                onActionClicked: sheet.act(line.model.control, line.model.modelId, line.model.keyProvider)
                onMenuTriggered: appState.removeWritingModel(line.model.modelId)
            }
        }
    }
}
