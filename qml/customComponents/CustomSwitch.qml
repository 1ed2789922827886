import QtQuick 2.15

// Pill-shaped on/off switch. A click anywhere on it, or Space or Enter while it has the keyboard
// focus, flips checked and then emits toggled(), so users that mirror a property bind checked
// with a Binding and write the property in onToggled. `name` is what a screen reader calls it.
Item {
    id: control

    property bool checked: false
    property string name
    readonly property real radius: height / 2
    signal toggled

    function flip() {
        control.checked = !control.checked
        control.toggled()
    }

    width: 48
    height: 24

    activeFocusOnTab: visible && enabled
    Keys.onReturnPressed: control.flip()
    Keys.onEnterPressed: control.flip()
    Keys.onSpacePressed: control.flip()
    Accessible.role: Accessible.CheckBox
    Accessible.name: control.name
    Accessible.checkable: true
    Accessible.checked: control.checked
    Accessible.onToggleAction: control.flip()
    Accessible.onPressAction: control.flip()

    Rectangle {
        objectName: "track"
        anchors.fill: parent
        radius: height / 2
        color: control.enabled ? (control.checked ? appSettings.switchOn : appSettings.switchOff)
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
        onClicked: control.flip()
    }

    FocusRing {
    }
}
