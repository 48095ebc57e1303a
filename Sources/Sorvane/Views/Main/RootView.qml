import QtQuick
import QtQuick.Controls
import Sorvane

// The content of the main window: the first-run set-up until it is done, the main
// shell after, always in the light scheme on bright paper with the signal tint, and
// the move prompt over either while the location controller asks for it.
// What happens "on appear" happens each time the window is shown; the screens (and
// their search texts and edits) are dropped when it is hidden and made afresh.
Rectangle {
    id: root
    objectName: "rootView"
    // The shell's ApplicationLocationController and UpdateController.
    property var applicationLocation: null
    property var updates: null
    readonly property bool shown: Window.window ? Window.window.visible : false
    readonly property bool showsMainShell: MainScreens.showsMainShell(appState ? appState.onboardingComplete : false)
    readonly property bool showsMovePrompt: applicationLocation ? applicationLocation.shouldShowPrompt : false
    readonly property Item screen: content.item

    color: Colors.sorvaneBrightPaper
    palette.highlight: Colors.sorvaneSignal
    palette.highlightedText: Colors.sorvane
    palette.window: Colors.sorvaneBrightPaper
    palette.base: Colors.sorvaneBrightPaper
    palette.text: Colors.primary
    palette.windowText: Colors.primary
    palette.buttonText: Colors.primary
    palette.toolTipBase: Colors.sorvanePaper
    palette.toolTipText: Colors.primary

    readonly property bool promptWanted: shown && showsMovePrompt

    onShownChanged: if (shown) refreshLocation()
    onPromptWantedChanged: promptWanted ? movePrompt.open() : movePrompt.close()
    Component.onCompleted: {
        if (shown)
            refreshLocation()
        if (promptWanted)
            movePrompt.open()
    }

    function refreshLocation() {
        if (applicationLocation)
            applicationLocation.refresh()
    }

    Loader {
        id: content
        anchors.fill: parent
        active: root.shown
        sourceComponent: root.showsMainShell ? shellComponent : onboardingComponent
    }

    Component {
        id: shellComponent
        MainShell { updates: root.updates }
    }
    Component {
        id: onboardingComponent
        OnboardingView {}
    }

    Popup {
        id: movePrompt
        objectName: "movePrompt"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        // Dismissing the sheet writes false back, as "Not Now" does.
        closePolicy: Popup.CloseOnEscape
        onClosed: if (root.applicationLocation && root.applicationLocation.shouldShowPrompt)
                      root.applicationLocation.shouldShowPrompt = false
        padding: 0
        background: RoundedBox {
            radius: 16
            fill: Colors.sorvaneBrightPaper
            stroke: Qt.alpha(Colors.primary, 0.1)
            strokeWidth: 0.8
        }
        contentItem: MoveToApplicationsView {
            location: root.applicationLocation
        }
    }
}
