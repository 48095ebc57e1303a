import QtQuick

// The one rounded shape of the screens: a fill and an outline drawn inside the edge.
// A radius of at least half the height makes a capsule. (Qt 6.4 draws circular
// corners; the designs' continuous corners are approximated by them here, in one place.)
Rectangle {
    property color fill: "transparent"
    property color stroke: "transparent"
    property real strokeWidth: 0
    property bool capsule: false

    color: fill
    radius: capsule ? Math.min(width, height) / 2 : 0
    border.color: stroke
    border.width: stroke.a > 0 ? strokeWidth : 0
    antialiasing: true
}
