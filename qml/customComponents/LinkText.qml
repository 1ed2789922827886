import QtQuick 2.15

// A text that acts as a link or a small button: clicked, or Enter or Space while it has the
// keyboard focus.
CommonLabelMedium {
    id: link

    signal clicked
    readonly property bool hovered: mouse.containsMouse

    color: appSettings.buttonConfirm
    font.pixelSize: appSettings.minorFontSize
    font.underline: mouse.containsMouse

    activeFocusOnTab: visible && enabled
    Keys.onReturnPressed: link.clicked()
    Keys.onEnterPressed: link.clicked()
    Keys.onSpacePressed: link.clicked()
    Accessible.role: Accessible.Button
    Accessible.name: link.text
    Accessible.onPressAction: link.clicked()

    MouseArea {
        id: mouse
        anchors.fill: parent
        anchors.margins: -4
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: link.clicked()
    }

    FocusRing {
    }
}
