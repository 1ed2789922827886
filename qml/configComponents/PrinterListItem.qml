import QtQuick 2.15
import QtQuick.Window 2.15
import "../customComponents"

// One printer: its name, whether its queue is usable and the switch that offers it to the API,
// with a test receipt to print or to look at.
Item {
    id: row

    property QtObject printer
    // "" until a test receipt was sent; then what became of it.
    property string testOutcome: ""
    // A queue's state has no change signal of its own: it is read again at every refresh of the
    // list, which keeps this row.
    readonly property bool queueReady: {
        printClient.printers
        return row.printer !== null && row.printer.state
    }

    height: 60

    Connections {
        target: printClient
        function onTestPrinted(printerName, error) {
            if (row.printer && printerName === row.printer.name)
                row.testOutcome = error === "" ? qsTr("Teste enviado") : error
        }
    }

    component Link: CommonLabelMedium {
        signal clicked
        color: appSettings.buttonConfirm
        font.pixelSize: 12
        MouseArea {
            anchors.fill: parent
            anchors.margins: -4
            cursorShape: Qt.PointingHandCursor
            onClicked: parent.clicked()
        }
    }

    Row {
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 6
        width: parent.width
        spacing: 12

        Link {
            objectName: "printTestButton"
            text: qsTr("Imprimir teste")
            onClicked: {
                row.testOutcome = qsTr("A imprimir…")
                printClient.printTest(row.printer.name)
            }
        }
        Link {
            objectName: "previewButton"
            text: qsTr("Pré-visualizar")
            onClicked: Qt.createComponent("qrc:/customComponents/PreviewOverlay.qml").createObject(
                           row.Window.window.contentItem, { source: printClient.previewTest(row.printer.name) })
        }
        CommonLabelRegular {
            objectName: "testOutcome"
            width: parent.width - x
            text: row.testOutcome
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: appSettings.subTitleColor
            font.pixelSize: 12
        }
    }

    CommonLabelRegular {
        objectName: "printerName"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.topMargin: 6
        width: parent.width / 2 - 16
        text: row.printer ? row.printer.name : ""
        textFormat: Text.PlainText
        elide: Text.ElideRight
        color: appSettings.titleColor
        font.pixelSize: appSettings.minorFontSize

        MouseArea {
            anchors.fill: parent
            enabled: printClient.isDebugMode && parent.text !== ""
            cursorShape: enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
            onClicked: printClient.clipboard(parent.text)
        }
    }

    Item {
        x: parent.width / 2
        width: parent.width / 4
        height: 40

        Rectangle {
            objectName: "stateBadge"
            anchors.verticalCenter: parent.verticalCenter
            // One width for both states: the longer text with room around it.
            width: Math.max(100, Math.max(onWidth.width, offWidth.width) + 24)
            height: 28
            radius: 14
            color: row.queueReady ? "#C8F2E5" : "#FFD9D9"

            CommonLabelMedium {
                id: stateLabel
                objectName: "stateText"
                anchors.fill: parent
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                lineHeightMode: Text.ProportionalHeight
                lineHeight: 1
                text: row.queueReady ? onWidth.text : offWidth.text
                color: row.queueReady ? "#0D513C" : "#662A2A"
                font.pixelSize: 12
            }
            TextMetrics {
                id: onWidth
                font: stateLabel.font
                text: qsTr("Ligada")
            }
            TextMetrics {
                id: offWidth
                font: stateLabel.font
                text: qsTr("Desligada")
            }
        }
    }

    Row {
        x: parent.width * 3 / 4
        height: 40
        spacing: 12

        CustomSwitch {
            objectName: "availableSwitch"
            anchors.verticalCenter: parent.verticalCenter
            onToggled: row.printer.available = checked

            Binding on checked {
                value: row.printer ? row.printer.available : false
            }
        }
        CommonLabelRegular {
            objectName: "availableLabel"
            anchors.verticalCenter: parent.verticalCenter
            text: row.printer && row.printer.available ? qsTr("Ativo") : qsTr("Inativo")
            color: appSettings.subTitleColor
            font.pixelSize: appSettings.minorFontSize
        }
    }
}
