import QtQuick 2.15

// Pill-shaped on/off switch. A click anywhere on it flips checked and then emits toggled(), so
// users that mirror a property bind checked with a Binding and write the property in onToggled.
Item {
    id: control

    property bool checked: false
    signal toggled

    width: 48
    height: 24

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: control.enabled ? (control.checked ? appSettings.btnSwitch4 : "#cdd8e8")
                               : (control.checked ? appSettings.btnSwitch2 : appSettings.btnSwitch3)
        Behavior on color {
            ColorAnimation {
                duration: 200
            }
        }
    }

    Rectangle {
        objectName: "knob"
        width: 20
        height: 20
        radius: 10
        y: 2
        x: control.checked ? control.width - width - 2 : 2
        color: appSettings.white
        Behavior on x {
            NumberAnimation {
                duration: 200
                easing.type: Easing.InOutQuad
            }
        }
    }

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: {
            control.checked = !control.checked
            control.toggled()
        }
    }
}
