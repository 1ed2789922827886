import QtQuick 2.15

// Which printer a receipt prints again on: one button an enabled printer, over the whole window;
// closes with a click beside it, "Cancelar" or Esc.
Modal {
    id: overlay

    property var printers: []
    signal chosen(string printer)

    onCloseRequested: overlay.destroy()

    RectangleShadow {
        objectName: "printerChoice"
        anchors.centerIn: parent
        width: Math.min(420, parent.width - 32)
        height: choices.height + 48

        MouseArea {
            anchors.fill: parent
        }

        Column {
            id: choices
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 24
            spacing: 12

            MainTitle {
                width: parent.width
                text: overlay.printers.length > 0 ? qsTr("Reimprimir em") : qsTr("Nenhuma impressora ativa")
            }
            Repeater {
                model: overlay.printers

                CustomButton {
                    objectName: "printerChoiceButton"
                    width: parent.width
                    text: modelData
                    onClicked: {
                        overlay.chosen(modelData)
                        overlay.destroy()
                    }
                }
            }
            CustomButton {
                objectName: "printerChoiceCancel"
                width: parent.width
                primary: true
                text: qsTr("Cancelar")
                onClicked: overlay.destroy()
            }
        }
    }
}
