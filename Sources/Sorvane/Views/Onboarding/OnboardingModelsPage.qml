import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// The last step: every speech model in one table. Choosing one that is not on this
// computer starts its download in the background; the state selects it when it ends,
// if it is still the choice.
ScrollView {
    id: root
    objectName: "onboardingModelsPage"
    property string chosenModelID: "pocket"
    signal choose(string modelId)
    readonly property var status: {
        if (!appState)
            return {kind: "default", text: ""}
        // What the line says depends on these.
        void [appState.modelStore.progress, appState.modelStore.activeDownloads,
              appState.preferredSpeechModelDownloadError, appState.selectedModel]
        return ModelScreens.onboardingStatus(appState, chosenModelID)
    }

    leftPadding: 36
    rightPadding: 36
    topPadding: 22
    bottomPadding: 6
    contentWidth: availableWidth
    ScrollBar.vertical.policy: ScrollBar.AsNeeded
    clip: true

    SpeechModelRows {
        id: rows
        objectName: "onboardingRows"
        state: appState
        selectedID: root.chosenModelID
    }

    ColumnLayout {
        width: root.availableWidth - 6
        spacing: 15

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 7
            Text {
                text: "Pick your language."
                font: {
                    const f = Fonts.font(34, Font.Bold)
                    f.letterSpacing = -1.2
                    return f
                }
                color: Colors.primary
            }
            Text {
                text: "Compare every model below. You can change this choice later in Models."
                font: Fonts.font(14)
                color: Colors.sorvaneMuted
            }
        }

        Item {
            Layout.fillWidth: true
            implicitHeight: table.implicitHeight
            CardBackground { anchors.fill: parent }
            ColumnLayout {
                id: table
                width: parent.width
                spacing: 0
                OnboardingModelRow { header: true; Layout.fillWidth: true }
                Repeater {
                    id: rowRepeater
                    model: rows
                    delegate: ColumnLayout {
                        id: entry
                        required property var model
                        required property int index
                        Layout.fillWidth: true
                        spacing: 0
                        Rectangle { Layout.fillWidth: true; height: 1; color: Qt.alpha(Colors.primary, 0.1); opacity: 0.55 }
                        OnboardingModelRow {
                            objectName: "onboardingRow_" + entry.model.modelId
                            Layout.fillWidth: true
                            row: entry.model
                            last: entry.index === rowRepeater.count - 1
                            onClicked: root.choose(entry.model.modelId)
                        }
                    }
                }
            }
        }

        // The status line.
        Item {
            objectName: "onboardingStatus"
            Layout.fillWidth: true
            // Read out as it changes, the download's progress with it.
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            readonly property string kind: root.status.kind
            readonly property string text: root.status.text
            implicitHeight: kind === "default" ? defaultLine.implicitHeight : statusBox.implicitHeight + 24

            RoundedBox {
                anchors.fill: parent
                visible: parent.kind !== "default"
                radius: 12
                fill: parent.kind === "error" ? Qt.alpha(Colors.sorvaneError, 0.08) : Qt.alpha(Colors.windowBackground, 0.64)
                stroke: parent.kind === "error" ? "transparent" : Qt.alpha(Colors.primary, 0.1)
                strokeWidth: 0.8
            }
            RowLayout {
                id: statusBox
                visible: parent.kind !== "default"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                spacing: 12
                SymbolIcon {
                    visible: root.status.kind === "error"
                    name: "exclamationmark.triangle.fill"
                    size: 11
                    color: Colors.sorvaneError
                }
                ProgressBar {
                    visible: root.status.kind === "downloading"
                    Layout.preferredWidth: 150
                    from: 0
                    to: 1
                    value: root.status.progress || 0
                }
                Text {
                    id: statusText
                    objectName: "onboardingStatusText"
                    Layout.fillWidth: true
                    text: root.status.text
                    font: Fonts.font(11, Font.Medium)
                    color: root.status.kind === "error" ? Colors.sorvaneError : Colors.secondary
                    wrapMode: Text.WordWrap
                    maximumLineCount: 2
                }
            }
            Row {
                id: defaultLine
                visible: parent.kind === "default"
                leftPadding: 4
                spacing: 6
                SymbolIcon { name: "checkmark.circle"; size: 11; color: Colors.secondary; anchors.verticalCenter: parent.verticalCenter }
                Text {
                    text: root.status.text
                    font: Fonts.font(11, Font.Medium)
                    color: Colors.secondary
                }
            }
        }
    }
}
