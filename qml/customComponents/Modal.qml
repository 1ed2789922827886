import QtQuick 2.15

// A layer over the whole window that takes the keyboard while it is open (the window puts the
// controls beneath it out of reach): Tab and Shift+Tab go round its own controls, Esc closes it.
FocusScope {
    id: modal

    signal closeRequested

    anchors.fill: parent
    z: 100
    focus: true

    Keys.onEscapePressed: modal.closeRequested()
    // Before a control of its own has the focus.
    Keys.onTabPressed: modal.nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
    Keys.onBacktabPressed: modal.nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
}
