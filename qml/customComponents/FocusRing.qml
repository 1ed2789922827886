import QtQuick 2.15

// The ring around the control that has the keyboard focus (by default its parent); it takes the
// control's shape.
Rectangle {
    property Item control: parent

    objectName: "focusRing"
    anchors.fill: parent
    anchors.margins: -4
    radius: control.radius !== undefined ? control.radius + 4 : 6
    color: "transparent"
    border.width: 2
    border.color: appSettings.focusColor
    visible: control.activeFocus
}
