import QtQuick 2.15

// A picture that acts as a button (copy, close); `name` is what a screen reader calls it.
Image {
    id: icon

    property string name
    signal clicked

    activeFocusOnTab: visible && enabled
    Keys.onPressed: function (event) {
        if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter || event.key === Qt.Key_Space) {
            event.accepted = true
            icon.clicked()
        }
    }
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
