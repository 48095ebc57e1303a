import QtQuick
import QtQuick.Layouts
import Sorvane

// Asks the user to move the portable program where such programs live before going
// on. Only "Not Now" closes it; the other two leave it open while the user moves it.
Item {
    id: root
    objectName: "moveToApplications"
    property var location: null

    implicitWidth: 620
    implicitHeight: column.implicitHeight + 68

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: 620 - 68
        spacing: 24

        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 8
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "Install Sorvane"
                font: Fonts.font(25, Font.Bold)
                color: Colors.primary
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "Drag Sorvane into Applications before continuing."
                font: Fonts.font(14, Font.Medium)
                color: Colors.secondary
            }
        }

        Row {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            Layout.bottomMargin: 8
            spacing: 26
            Column {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8
                BrandMark { anchors.horizontalCenter: parent.horizontalCenter; size: 74 }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Sorvane"
                    font: Fonts.font(12, Font.DemiBold)
                    color: Colors.primary
                }
            }
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                name: "arrow.right"
                size: 24
                color: Colors.sorvane
            }
            Column {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8
                SymbolIcon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    name: "folder.fill"
                    size: 67
                    color: Colors.sorvane
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Applications"
                    font: Fonts.font(12, Font.DemiBold)
                    color: Colors.primary
                }
            }
        }

        Text {
            objectName: "moveExplanation"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: 480
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            lineHeight: 1.1
            text: (root.location ? root.location.locationSentence() : "Sorvane is currently running outside Applications.")
                  + "\nInstalling in Applications makes updates, replacement, and restart reliable. After dragging it there, quit this copy and open Sorvane from Applications."
            font: Fonts.font(12.5)
            color: Colors.secondary
        }

        Row {
            Layout.alignment: Qt.AlignHCenter
            spacing: 10
            // The quieter buttons are lower than the primary one: centred on its line.
            BorderedRowButton {
                objectName: "notNowButton"
                anchors.verticalCenter: parent.verticalCenter
                title: "Not Now"
                buttonHeight: 32
                cornerRadius: 8
                fontSize: 13
                onClicked: if (root.location) root.location.shouldShowPrompt = false
            }
            BorderedRowButton {
                objectName: "openApplicationsButton"
                anchors.verticalCenter: parent.verticalCenter
                title: "Open Applications"
                buttonHeight: 32
                cornerRadius: 8
                fontSize: 13
                // Made when missing: a new user has no ~/Applications yet.
                onClicked: if (root.location) root.location.openApplicationsFolder()
            }
            PrimaryButton {
                objectName: "revealButton"
                title: "Show Sorvane in the file manager"
                onClicked: if (root.location) root.location.revealCurrentApplication()
            }
        }
    }
}
