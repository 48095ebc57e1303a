import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sorvane

// One line of the onboarding's model table, or its column header with `header`.
AbstractButton {
    id: root
    property bool header: false
    // The SpeechModelRows entry of the model (its roles).
    property var row: null
    readonly property bool chosen: !header && row !== null && row.selected

    implicitHeight: header ? columns.implicitHeight + 20 : Math.max(58, columns.implicitHeight + 18)
    leftPadding: 12
    rightPadding: 12
    enabled: !header
    Accessible.role: Accessible.Button
    Accessible.name: header ? "" : "Choose " + (row ? row.name : "")
    Accessible.onPressAction: if (!header) root.clicked()
    hoverEnabled: false

    // The last row of the table rounds its lower corners as the card does, so a
    // selected last row stays inside the card.
    property bool last: false
    background: Item {
        clip: root.last
        Rectangle {
            objectName: "rowFill"
            anchors.fill: parent
            anchors.topMargin: root.last ? -radius : 0
            radius: root.last ? 16 : 0
            antialiasing: true
            color: !root.header && root.row && root.row.selected ? Qt.alpha(Colors.speechModelAccent(root.row.modelId), 0.08)
                                                                : "transparent"
        }
    }

    readonly property font headerFont: {
        const f = Fonts.monospaced(8.5, Font.Bold)
        f.letterSpacing = 0.7
        return f
    }

    contentItem: RowLayout {
        id: columns
        spacing: 10

        // Model.
        Item {
            Layout.fillWidth: true
            implicitHeight: root.header ? modelHeader.implicitHeight : modelCell.implicitHeight
            Text { id: modelHeader; visible: root.header; text: "MODEL"; font: root.headerFont; color: Colors.secondary }
            Row {
                id: modelCell
                visible: !root.header
                width: parent.width
                spacing: 9
                ModelGlyph { modelId: root.row ? root.row.modelId : ""; size: 36; anchors.verticalCenter: parent.verticalCenter }
                Column {
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 45
                    spacing: 2
                    Row {
                        spacing: 6
                        Text {
                            text: root.row ? root.row.name : ""
                            font: Fonts.font(12.5, Font.Bold)
                            color: Colors.primary
                            anchors.verticalCenter: parent.verticalCenter
                        }
                        RoundedBox {
                            objectName: "recommendedTag"
                            visible: root.row ? root.row.recommended : false
                            anchors.verticalCenter: parent.verticalCenter
                            capsule: true
                            width: recommendedText.implicitWidth + 12
                            height: 17
                            fill: Qt.alpha(Colors.sorvaneSignal, 0.35)
                            Text {
                                id: recommendedText
                                anchors.centerIn: parent
                                text: "RECOMMENDED"
                                font: {
                                    const f = Fonts.font(7.5, Font.Bold)
                                    f.letterSpacing = 0.5
                                    return f
                                }
                                color: Colors.primary
                            }
                        }
                    }
                    Text {
                        width: parent.width
                        text: root.row ? root.row.makerLine : ""
                        font: Fonts.font(9.5)
                        color: Colors.secondary
                        elide: Text.ElideRight
                    }
                }
            }
        }
        // Languages.
        Text {
            Layout.preferredWidth: 125
            text: root.header ? "LANGUAGES" : root.row ? root.row.languages : ""
            font: root.header ? root.headerFont : Fonts.font(10, Font.Medium)
            color: Colors.secondary
            elide: Text.ElideRight
        }
        Item {
            Layout.preferredWidth: 72
            implicitHeight: root.header ? speedHeader.implicitHeight : speedMeter.implicitHeight
            Text { id: speedHeader; visible: root.header; text: "SPEED"; font: root.headerFont; color: Colors.secondary }
            RatingMeter { id: speedMeter; visible: !root.header; label: "Speed"; showsLabel: false; value: root.row ? root.row.speed : 0 }
        }
        Item {
            Layout.preferredWidth: 72
            implicitHeight: root.header ? qualityHeader.implicitHeight : qualityMeter.implicitHeight
            Text { id: qualityHeader; visible: root.header; text: "QUALITY"; font: root.headerFont; color: Colors.secondary }
            RatingMeter { id: qualityMeter; visible: !root.header; label: "Quality"; showsLabel: false; value: root.row ? root.row.quality : 0 }
        }
        Text {
            Layout.preferredWidth: 62
            horizontalAlignment: Text.AlignRight
            text: root.header ? "DISK" : root.row ? root.row.size : ""
            font: root.header ? root.headerFont : Fonts.font(10.5, Font.DemiBold)
            color: Colors.secondary
        }
        // Status.
        Item {
            objectName: "statusCell"
            Layout.preferredWidth: 100
            implicitHeight: root.header ? statusHeader.implicitHeight
                                        : (root.row && root.row.downloading ? progressColumn.implicitHeight : statusLabel.implicitHeight)
            Text {
                id: statusHeader
                visible: root.header
                anchors.right: parent.right
                text: "STATUS"
                font: root.headerFont
                color: Colors.secondary
            }
            Column {
                id: progressColumn
                objectName: "rowProgress"
                visible: !root.header && root.row !== null && root.row.downloading
                anchors.right: parent.right
                spacing: 3
                ProgressBar {
                    width: 78
                    from: 0
                    to: 1
                    value: root.row ? root.row.progress : 0
                }
                Text {
                    objectName: "rowPercent"
                    anchors.right: parent.right
                    text: root.row ? root.row.percent : ""
                    font: Fonts.monospaced(8.5)
                    color: Colors.secondary
                }
            }
            Row {
                id: statusLabel
                objectName: "rowStatus"
                visible: !root.header && root.row !== null && !root.row.downloading
                anchors.right: parent.right
                spacing: 4
                readonly property color tint: root.row && root.row.selected ? Colors.sorvane : Colors.secondary
                readonly property string text: root.row && root.row.installed ? "Ready" : "Download"
                SymbolIcon {
                    objectName: "rowStatusIcon"
                    anchors.verticalCenter: parent.verticalCenter
                    name: root.row && root.row.selected ? "checkmark.circle.fill" : "circle"
                    size: 10
                    color: statusLabel.tint
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: statusLabel.text
                    font: Fonts.font(9.5, Font.Bold)
                    color: statusLabel.tint
                }
            }
        }
    }
}
