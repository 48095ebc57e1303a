import QtQuick
import QtQuick.Layouts
import Sorvane

// The floating overlay's pill in its four layouts: classic and mini for Dictation, and
// the listening and compact layouts of a Command. Everything it shows comes from the
// view model; it has 4 pixels of empty margin on every side. Inter runs wider than the
// pill's fixed widths were made for, so a title or hint that would be cut shrinks by up
// to about a pixel and a half first.
Item {
    id: root
    property OverlayViewModel overlay

    readonly property string layoutName: overlay ? overlay.layout : "classic"
    readonly property color ink: overlay ? overlay.ink : "white"
    readonly property bool capsule: layoutName === "mini" || layoutName === "commandCompact"

    implicitWidth: pill.width + 8
    implicitHeight: pill.height + 8

    RoundedBox {
        id: pill
        objectName: "pill"
        // What the pill says, in every layout (the mini one has no words on show).
        Accessible.role: Accessible.StaticText
        Accessible.name: root.overlay ? root.overlay.accessibleText : ""
        Accessible.description: root.overlay ? root.overlay.accessibleDescription : ""
        x: 4
        y: 4
        width: root.overlay ? root.overlay.pillWidth : 310
        height: root.overlay ? root.overlay.pillHeight : 56
        capsule: root.capsule
        radius: root.capsule ? height / 2 : 19
        fill: root.overlay && root.overlay.dark ? Qt.rgba(0, 0, 0, 0.95) : Qt.rgba(1, 1, 1, 0.98)
        stroke: root.overlay && root.overlay.dark ? Qt.rgba(1, 1, 1, 0.15) : Qt.rgba(0, 0, 0, 0.11)
        strokeWidth: root.capsule ? 0.7 : 0.75

        // Classic: waveform, title over hint, trailing element.
        RowLayout {
            objectName: "classicLayout"
            visible: root.layoutName === "classic"
            anchors.fill: parent
            anchors.leftMargin: 14
            anchors.rightMargin: 14
            spacing: 12

            WaveformBars {
                objectName: "classicWaveform"
                Layout.preferredWidth: 86
                Layout.preferredHeight: 38
                heights: visible ? root.overlay.barHeights : []
                barWidth: root.overlay.barWidth
                spacing: root.overlay.barSpacing
                color: Qt.alpha(root.ink, 0.92)
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    objectName: "title"
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Fonts.pointSizeFor(11)
                    Layout.fillWidth: true
                    text: root.overlay.title
                    font: Fonts.font(12.5, Font.DemiBold)
                    color: root.ink
                    elide: Text.ElideRight
                }
                Text {
                    objectName: "hint"
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Fonts.pointSizeFor(8.5)
                    Layout.fillWidth: true
                    text: root.overlay.hint
                    font: Fonts.font(9.5, Font.Medium)
                    color: Qt.alpha(root.ink, 0.58)
                    maximumLineCount: 1
                    elide: Text.ElideRight
                }
            }
            KeyCap {
                objectName: "idleKeyCap"
                visible: root.overlay.trailing === "keyCap"
                text: root.overlay.keyCap
                ink: root.ink
            }
            Row {
                objectName: "recordingTrailing"
                visible: root.overlay.trailing === "elapsedAndKeyCap"
                spacing: 5
                TabularText {
                    objectName: "elapsed"
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.overlay.elapsed
                    font: Fonts.font(10, Font.DemiBold)
                    color: Qt.alpha(root.ink, 0.64)
                }
                KeyCap {
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.overlay.keyCap
                    fontSize: 10
                    sidePadding: 7
                    capHeight: 23
                    ink: root.ink
                }
            }
            Item {
                objectName: "progressTrailing"
                visible: root.overlay.trailing === "progress"
                Layout.preferredWidth: Math.max(34, progressText.implicitWidth)
                Layout.preferredHeight: 16
                TabularText {
                    id: progressText
                    objectName: "progress"
                    visible: !root.overlay.progressSpins
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.overlay.progressText
                    font: Fonts.font(11, Font.Bold)
                    color: Qt.alpha(root.ink, 0.72)
                }
                Spinner {
                    objectName: "progressSpinner"
                    visible: root.overlay.progressSpins
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    width: 13
                    height: 13
                    turn: visible ? root.overlay.spinnerTurn : 0
                    color: Qt.alpha(root.ink, 0.72)
                }
            }
            SymbolIcon {
                objectName: "trailingSymbol"
                visible: root.overlay.trailing === "symbol"
                name: root.overlay.trailingSymbol
                size: 11
                color: Qt.alpha(root.ink, 0.72)
            }
        }

        // Mini: waveform and one status element, no words.
        RowLayout {
            objectName: "miniLayout"
            visible: root.layoutName === "mini"
            anchors.fill: parent
            anchors.leftMargin: 13
            anchors.rightMargin: 13
            spacing: 9

            WaveformBars {
                objectName: "miniWaveform"
                Layout.preferredWidth: 86
                Layout.preferredHeight: 29
                heights: visible ? root.overlay.barHeights : []
                barWidth: root.overlay.barWidth
                spacing: root.overlay.barSpacing
                color: Qt.alpha(root.ink, 0.92)
            }
            Item {
                Layout.fillWidth: true
                Layout.preferredHeight: 16
                TabularText {
                    objectName: "miniElapsed"
                    visible: root.overlay.miniTrailing === "elapsed"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.overlay.elapsed
                    font: Fonts.font(9.5, Font.DemiBold)
                    color: Qt.alpha(root.ink, 0.64)
                }
                TabularText {
                    objectName: "miniProgress"
                    visible: root.overlay.miniTrailing === "progress" && !root.overlay.progressSpins
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.overlay.progressText
                    font: Fonts.font(9.5, Font.Bold)
                    color: Qt.alpha(root.ink, 0.72)
                }
                Spinner {
                    objectName: "miniSpinner"
                    visible: root.overlay.miniTrailing === "progress" && root.overlay.progressSpins
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    width: 11
                    height: 11
                    turn: visible ? root.overlay.spinnerTurn : 0
                    color: Qt.alpha(root.ink, 0.72)
                }
                SymbolIcon {
                    objectName: "miniStatusIcon"
                    visible: root.overlay.miniTrailing === "symbol"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    name: root.overlay.miniIcon
                    size: 9.5
                    color: Qt.alpha(root.ink, 0.72)
                }
            }
        }

        // Command, while the spoken instruction is recorded.
        RowLayout {
            objectName: "commandListeningLayout"
            visible: root.layoutName === "commandListening"
            anchors.fill: parent
            anchors.leftMargin: 14
            anchors.rightMargin: 14
            spacing: 12

            WaveformBars {
                objectName: "commandWaveform"
                Layout.preferredWidth: 86
                Layout.preferredHeight: 38
                heights: visible ? root.overlay.barHeights : []
                barWidth: 2
                spacing: 2.6
                color: Qt.alpha(root.ink, 0.92)
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                Text {
                    objectName: "commandTitle"
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Fonts.pointSizeFor(11)
                    Layout.fillWidth: true
                    text: "Command listening"
                    font: Fonts.font(12.5, Font.DemiBold)
                    color: root.ink
                    elide: Text.ElideRight
                }
                Text {
                    objectName: "commandListeningDetail"
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Fonts.pointSizeFor(8.5)
                    Layout.fillWidth: true
                    text: root.overlay.agentDetail
                    font: Fonts.font(9.5, Font.Medium)
                    color: Qt.alpha(root.ink, 0.58)
                    maximumLineCount: 1
                    elide: Text.ElideRight
                }
            }
            Row {
                spacing: 5
                TabularText {
                    objectName: "commandElapsed"
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.overlay.elapsed
                    font: Fonts.font(10, Font.DemiBold)
                    color: Qt.alpha(root.ink, 0.64)
                }
                KeyCap {
                    anchors.verticalCenter: parent.verticalCenter
                    text: root.overlay.keyCap
                    fontSize: 10
                    sidePadding: 7
                    capHeight: 23
                    ink: root.ink
                }
            }
        }

        // Command, every later phase.
        RowLayout {
            objectName: "commandCompactLayout"
            visible: root.layoutName === "commandCompact"
            anchors.fill: parent
            anchors.leftMargin: 11
            anchors.rightMargin: 11
            spacing: 10

            Item {
                objectName: "phaseBadge"
                Layout.preferredWidth: 27
                Layout.preferredHeight: 27
                RoundedBox {
                    objectName: "phaseBadgeFill"
                    anchors.fill: parent
                    capsule: true
                    fill: Qt.alpha(root.overlay.agentColor, root.overlay.agentBadgeFilled ? 1 : 0.16)
                }
                Spinner {
                    objectName: "phaseSpinner"
                    visible: root.overlay.agentSpins
                    anchors.centerIn: parent
                    width: 12
                    height: 12
                    turn: visible ? root.overlay.spinnerTurn : 0
                    color: root.overlay.agentSymbolColor
                }
                SymbolIcon {
                    objectName: "phaseIcon"
                    visible: !root.overlay.agentSpins
                    anchors.centerIn: parent
                    name: root.overlay.agentIcon
                    size: 10
                    color: root.overlay.agentSymbolColor
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 1
                Text {
                    objectName: "phaseWord"
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Fonts.pointSizeFor(10.5)
                    Layout.fillWidth: true
                    text: root.overlay.agentWord
                    font: Fonts.font(11.5, Font.DemiBold)
                    color: root.ink
                    elide: Text.ElideRight
                }
                Text {
                    objectName: "phaseDetail"
                    fontSizeMode: Text.HorizontalFit
                    minimumPointSize: Fonts.pointSizeFor(8)
                    Layout.fillWidth: true
                    text: root.overlay.agentDetail
                    font: Fonts.font(9, Font.Medium)
                    color: Qt.alpha(root.ink, 0.55)
                    maximumLineCount: 1
                    elide: Text.ElideRight
                }
            }
            TabularText {
                objectName: "phaseProgress"
                visible: root.overlay.agentProgressText !== ""
                text: root.overlay.agentProgressText
                font: Fonts.font(9.5, Font.Bold)
                color: Qt.alpha(root.ink, 0.68)
            }
            SymbolIcon {
                objectName: "phaseErrorArrow"
                visible: root.overlay.agentShowsErrorArrow
                name: "arrow.up.right"
                size: 9.5
                color: Qt.alpha(root.ink, 0.7)
            }
        }
    }
}
