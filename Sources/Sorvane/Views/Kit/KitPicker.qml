import QtQuick
import QtQuick.Templates as T
import Sorvane

// A menu picker over a list of titles. It shows `selectedIndex` (the setting) and tells
// the user's own choices through `picked`; afterwards it shows `selectedIndex` again, so
// a choice the owner refuses puts the picker back. A change of the model's index never
// counts as the user's.
T.ComboBox {
    id: control
    property int selectedIndex: -1
    property string accessibleName
    signal picked(int index)

    currentIndex: selectedIndex
    implicitHeight: 36
    implicitWidth: Math.max(140, sizer.implicitWidth + leftPadding + rightPadding + 22)
    leftPadding: 14
    rightPadding: 14
    font: Fonts.font(13.5, Font.Medium)
    focusPolicy: Qt.TabFocus
    opacity: enabled ? 1 : 0.42
    Accessible.name: accessibleName
    // The chosen title, read beside the name as a recorder tells its combination.
    Accessible.description: displayText

    onActivated: (index) => {
        picked(index)
        currentIndex = Qt.binding(() => control.selectedIndex)
    }

    // The widest title sets the width, so choosing never resizes the picker.
    Column {
        id: sizer
        visible: false
        Repeater {
            model: control.count
            Text {
                required property int index
                text: control.textAt(index)
                font: control.font
            }
        }
    }

    contentItem: Text {
        objectName: "pickerTitle"
        text: control.displayText
        font: control.font
        color: Colors.primary
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        rightPadding: 18
    }

    indicator: SymbolIcon {
        x: control.width - width - control.rightPadding
        anchors.verticalCenter: parent.verticalCenter
        name: "chevron.up.chevron.down"
        size: 11
        color: Colors.sorvaneMuted
    }

    background: RoundedBox {
        radius: 10
        fill: Qt.alpha(Colors.sorvane, control.down ? 0.09 : 0.05)
        stroke: Qt.alpha(Colors.sorvane, 0.12)
        strokeWidth: 0.8
    }

    delegate: T.ItemDelegate {
        id: entry
        required property int index
        required property var modelData
        objectName: "pickerEntry_" + index
        width: ListView.view ? ListView.view.width : implicitWidth
        implicitHeight: 32
        leftPadding: 12
        rightPadding: 12
        highlighted: control.highlightedIndex === index
        // The entry's title is its name on the accessibility bus, and pressing it there
        // chooses it as a click does.
        text: control.textAt(index)
        Accessible.name: text
        Accessible.onPressAction: entry.clicked()
        contentItem: Text {
            text: entry.text
            font: Fonts.font(13.5, entry.index === control.currentIndex ? Font.DemiBold : Font.Normal)
            color: Colors.primary
            verticalAlignment: Text.AlignVCenter
        }
        background: RoundedBox {
            radius: 7
            fill: entry.highlighted ? Qt.alpha(Colors.sorvaneSignal, 0.35) : "transparent"
        }
    }

    popup: T.Popup {
        objectName: "pickerMenu"
        y: control.height + 4
        width: Math.max(control.width, 160)
        implicitHeight: Math.min(contentItem.implicitHeight + topPadding + bottomPadding, 320)
        padding: 5
        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.delegateModel
            currentIndex: control.highlightedIndex
        }
        background: RoundedBox {
            radius: 11
            fill: Colors.sorvaneBrightPaper
            stroke: Qt.alpha(Colors.primary, 0.12)
            strokeWidth: 0.8
        }
    }
}
