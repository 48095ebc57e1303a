import QtQuick
import QtQuick.Layouts
import Sorvane

// The first-run set-up: welcome, microphone, accessibility and the speech model, with
// Back and Continue between them. No page waits for a permission; "Finish setup" hands
// the chosen model to the state, which ends the set-up.
Item {
    id: root
    objectName: "onboardingView"
    property int step: 0
    property string chosenModelID: "pocket"
    readonly property int steps: ModelScreens.onboardingSteps
    readonly property bool hasChosenModel: ModelScreens.isCatalogSpeechModel(appState, chosenModelID)
    readonly property var footerState: ModelScreens.onboardingFooter(step, hasChosenModel)
    readonly property int page: ModelScreens.onboardingPage(step)

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 28
        anchors.rightMargin: 28
        anchors.topMargin: 24
        anchors.bottomMargin: 16
        spacing: 0

        // Header.
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            BrandMark { size: 30 }
            Text {
                text: "Sorvane"
                font: Fonts.font(17, Font.Bold)
                color: Colors.primary
            }
            Item { Layout.fillWidth: true }
            Row {
                objectName: "onboardingDots"
                spacing: 6
                Repeater {
                    model: ModelScreens.onboardingDots(root.step)
                    Rectangle {
                        required property var modelData
                        required property int index
                        objectName: "dot" + index
                        readonly property bool wide: modelData.wide
                        readonly property bool filled: modelData.filled
                        height: 7
                        width: wide ? 24 : 7
                        radius: 3.5
                        color: filled ? Colors.sorvane : Qt.alpha(Colors.primary, 0.1)
                        Behavior on width { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }
                    }
                }
            }
        }

        // The page.
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Loader {
                id: pageLoader
                objectName: "onboardingPage"
                anchors.centerIn: root.page === 3 ? undefined : parent
                anchors.fill: root.page === 3 ? parent : undefined
                sourceComponent: [welcome, microphone, accessibility, models][root.page]
            }
        }

        // Footer.
        RowLayout {
            Layout.fillWidth: true
            Layout.preferredHeight: 44
            Layout.topMargin: 6
            QuietButton {
                objectName: "backButton"
                Accessible.name: title
                visible: root.footerState.showsBack
                title: "Back"
                iconName: "chevron.left"
                onClicked: root.step = Math.max(0, root.step - 1)
            }
            Item { Layout.fillWidth: true }
            PrimaryButton {
                objectName: "primaryButton"
                Accessible.name: title
                title: root.footerState.primaryTitle
                iconName: root.footerState.primaryIcon
                disabled: !root.footerState.primaryEnabled
                onClicked: {
                    if (!root.footerState.finishes)
                        root.step = root.step + 1
                    else if (root.hasChosenModel)
                        appState.completeOnboarding(root.chosenModelID)
                }
            }
        }
    }

    Component {
        id: welcome
        WelcomePage {}
    }
    Component {
        id: microphone
        PermissionPage {
            objectName: "microphonePage"
            microphone: true
            granted: appState ? appState.microphoneGranted : false
            onRequest: appState.requestMicrophone()
        }
    }
    Component {
        id: accessibility
        PermissionPage {
            objectName: "accessibilityPage"
            microphone: false
            granted: appState ? appState.accessibilityGranted : false
            onRequest: appState.requestAccessibility()
        }
    }
    Component {
        id: models
        OnboardingModelsPage {
            chosenModelID: root.chosenModelID
            onChoose: (modelId) => {
                root.chosenModelID = modelId
                appState.prepareSpeechModelForOnboarding(modelId)
            }
        }
    }
}
