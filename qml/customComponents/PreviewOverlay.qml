import QtQuick 2.15
import QtQuick.Controls 2.15

// A receipt as the paper would look, over the whole window; scrolls, and closes with a click
// beside it, on the cross or with Esc.
Modal {
    id: overlay

    property alias source: paper.source

    onCloseRequested: overlay.destroy()

    RectangleShadow {
        objectName: "previewPanel"
        anchors.centerIn: parent
        width: Math.min(420, parent.width - 32)
        height: parent.height - 48

        MouseArea {
            anchors.fill: parent
        }

        Flickable {
            id: view
            anchors.fill: parent
            anchors.margins: 24
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            contentWidth: width
            contentHeight: paper.height

            Image {
                id: paper
                objectName: "previewImage"
                width: view.width - 16
                height: sourceSize.width > 0 ? sourceSize.height * width / sourceSize.width : 0
                smooth: true
            }
            ScrollBar.vertical: ListScrollBar {
                list: view
            }
        }

        IconButton {
            objectName: "previewClose"
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.margins: 12
            source: "qrc:/imgs/vrl-version-close.png"
            name: qsTr("Fechar")
            onClicked: overlay.destroy()
        }
    }
}
