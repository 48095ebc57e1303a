import QtQuick
import QtQuick.Layouts
import Sorvane

// Shown in place of the first-run set-up, which this version does not have yet. Its
// one button really ends the set-up, so the main window can be reached.
Item {
    id: root
    objectName: "onboardingPending"

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - 160, 560)
        spacing: 20

        BrandMark {
            size: 56
        }
        ScreenTitle {
            objectName: "onboardingTitle"
            title: "Welcome to Sorvane"
        }
        Text {
            objectName: "onboardingLine"
            Layout.fillWidth: true
            text: "The first-run set-up is not available in this version yet."
            font: Fonts.font(15)
            color: Colors.sorvaneMuted
            wrapMode: Text.WordWrap
        }
        PrimaryButton {
            objectName: "skipSetUp"
            Layout.topMargin: 8
            title: "Continue without set-up"
            iconName: "arrow.right"
            onClicked: if (appState) appState.onboardingComplete = true
        }
    }
}
