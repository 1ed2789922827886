import QtQuick 2.15

// A layer over the whole window that dims it and takes the keyboard while it is open (the window
// puts the controls beneath it out of reach): Tab and Shift+Tab go round its own controls, Esc or a
// click on the dimmed window closes it.
FocusScope {
    id: modal

    property alias dimming: backdrop.opacity
    signal closeRequested

    anchors.fill: parent
    z: 100
    focus: true

    Keys.onEscapePressed: modal.closeRequested()
    // Before a control of its own has the focus.
    Keys.onTabPressed: modal.nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
    Keys.onBacktabPressed: modal.nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)

    Rectangle {
        id: backdrop
        anchors.fill: parent
        color: Qt.rgba(0.19, 0.23, 0.3, 0.45)

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            onClicked: modal.closeRequested()
        }
    }
}
