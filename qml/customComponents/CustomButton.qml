import QtQuick 2.15

// Text button: filled with the confirm colour when primary, outlined otherwise. Reached with Tab,
// pressed with Enter or Space.
Rectangle {
    id: button

    property alias text: label.text
    property bool primary: false
    signal clicked

    width: Math.max(128, label.implicitWidth + 40)
    height: 40
    radius: 6
    border.width: primary ? 0 : 1
    border.color: appSettings.buttonConfirm
    color: primary ? (mouse.containsMouse ? Qt.darker(appSettings.buttonConfirm, 1.1) : appSettings.buttonConfirm)
                   : (mouse.containsMouse ? appSettings.btnHoverOn : appSettings.btnHoverOff)

    activeFocusOnTab: visible && enabled
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()
    Keys.onSpacePressed: button.clicked()
    Accessible.role: Accessible.Button
    Accessible.name: label.text
    Accessible.onPressAction: button.clicked()

    CommonLabelMedium {
        id: label
        anchors.centerIn: parent
        font.pixelSize: appSettings.minorFontSize
        color: button.primary ? appSettings.white : appSettings.buttonConfirm
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.clicked()
    }

    FocusRing {
    }
}
