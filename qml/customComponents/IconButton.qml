import QtQuick 2.15

// A picture that acts as a button (copy, close); `name` is what a screen reader calls it.
Image {
    id: icon

    property string name
    signal clicked

    activeFocusOnTab: visible && enabled
    Keys.onReturnPressed: icon.clicked()
    Keys.onEnterPressed: icon.clicked()
    Keys.onSpacePressed: icon.clicked()
    Accessible.role: Accessible.Button
    Accessible.name: icon.name
    Accessible.onPressAction: icon.clicked()

    MouseArea {
        anchors.fill: parent
        anchors.margins: -6
        cursorShape: Qt.PointingHandCursor
        onClicked: icon.clicked()
    }

    FocusRing {
    }
}
