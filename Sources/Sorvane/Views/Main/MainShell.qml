import QtQuick
import QtQuick.Layouts
import Sorvane

// The main window after onboarding: the sidebar with its sections, and the screen of
// the selected section, made afresh each time it is selected. The selection is the
// state's, so whoever sets it switches the screen.
Item {
    id: root
    objectName: "mainShell"
    property var updates: null
    readonly property int section: appState ? appState.selectedSection : MainScreens.homeSection
    readonly property Item currentScreen: content.item

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            id: sidebar
            objectName: "sidebar"
            Layout.preferredWidth: 252
            Layout.fillHeight: true
            color: Colors.sorvanePaper

            ColumnLayout {
                anchors.fill: parent
                anchors.topMargin: 24
                anchors.bottomMargin: 24
                anchors.leftMargin: 20
                anchors.rightMargin: 20
                spacing: 6

                Row {
                    objectName: "brandHeader"
                    Layout.leftMargin: 12
                    Layout.rightMargin: 12
                    Layout.bottomMargin: 36
                    spacing: 12
                    BrandMark {
                        anchors.verticalCenter: parent.verticalCenter
                        size: 30
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Sorvane"
                        font: {
                            const f = Fonts.font(16, Font.DemiBold)
                            f.letterSpacing = -0.3
                            return f
                        }
                        color: Colors.primary
                    }
                }

                Repeater {
                    model: MainScreens.sectionTitles
                    delegate: SidebarSectionRow {
                        required property string modelData
                        required property int index
                        objectName: "sectionRow_" + modelData
                        Layout.fillWidth: true
                        title: modelData
                        selected: root.section === index
                        onClicked: if (appState) appState.selectedSection = index
                    }
                }

                Item { Layout.fillHeight: true; Layout.minimumHeight: 24 }

                ColumnLayout {
                    objectName: "sidebarFooter"
                    Layout.fillWidth: true
                    Layout.leftMargin: 4
                    Layout.rightMargin: 4
                    spacing: 12

                    SidebarUpdateRow {
                        objectName: "updateRow"
                        Layout.fillWidth: true
                        visible: root.updates ? !root.updates.presentationIsIdle : false
                        label: root.updates ? root.updates.presentationLabel : ""
                        onClicked: root.updates.presentCurrentUpdate()
                    }
                    Text {
                        objectName: "versionText"
                        Layout.leftMargin: 10
                        Layout.rightMargin: 10
                        text: MainScreens.versionString
                        font: {
                            const f = Fonts.monospaced(10)
                            f.letterSpacing = 0.6
                            return f
                        }
                        color: Colors.sorvaneMuted
                    }
                }
            }
        }

        Rectangle {
            objectName: "divider"
            Layout.preferredWidth: 1
            Layout.fillHeight: true
            color: Qt.alpha(Colors.sorvane, 0.12)
            opacity: 0.55
        }

        Rectangle {
            objectName: "contentArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Colors.sorvaneBrightPaper
            clip: true

            Loader {
                id: content
                objectName: "sectionScreen"
                anchors.fill: parent
                sourceComponent: {
                    switch (root.section) {
                    case MainScreens.historySection: return historyScreen
                    case MainScreens.modelsSection: return modelsScreen
                    case MainScreens.settingsSection: return settingsScreen
                    default: return homeScreen
                    }
                }
            }
        }
    }

    Component { id: homeScreen; HomeView {} }
    Component { id: historyScreen; HistoryView {} }
    Component {
        id: modelsScreen
        SectionPending {
            objectName: "modelsPending"
            title: "Models"
            line: "The Models screen is not available in this version yet."
        }
    }
    Component { id: settingsScreen; SettingsView { updates: root.updates } }
}
