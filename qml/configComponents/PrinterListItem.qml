import QtQuick 2.15
import QtQuick.Window 2.15
import Printer 1.0
import "../customComponents"

// One printer: its name, whether its queue is usable and the switch that offers it to the API,
// with a test receipt to print or to look at.
Item {
    id: row

    property QtObject printer
    // "" until a test receipt was sent; then what became of it.
    property string testOutcome: ""
    // What the last refresh of the list read about the queue.
    readonly property int situation: row.printer ? row.printer.situation : PrinterStatus.Offline
    readonly property bool queueReady: row.situation === PrinterStatus.Ready || row.situation === PrinterStatus.Busy
        || row.situation === PrinterStatus.PaperLow

    height: 64

    Connections {
        target: printClient
        function onTestPrinted(printerName, error) {
            if (row.printer && printerName === row.printer.name)
                row.testOutcome = error === "" ? qsTr("Teste enviado") : error
        }
    }

    component Link: LinkText {
        font.pixelSize: 12
    }

    // First the line the row is about, then the tests: the order the keyboard takes.
    Row {
        x: parent.width * 3 / 4
        height: 36
        spacing: 12

        CustomSwitch {
            objectName: "availableSwitch"
            anchors.verticalCenter: parent.verticalCenter
            name: qsTr("Usar %1 na faturação").arg(row.printer ? row.printer.name : "")
            onToggled: row.printer.available = checked

            Binding on checked {
                value: row.printer ? row.printer.available : false
            }
        }
        CommonLabelRegular {
            objectName: "availableLabel"
            anchors.verticalCenter: parent.verticalCenter
            text: row.printer && row.printer.available ? qsTr("Ativa") : qsTr("Inativa")
            color: appSettings.subTitleColor
            font.pixelSize: appSettings.minorFontSize
        }
    }

    Row {
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 6
        width: parent.width / 2 - 16
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
            onClicked: row.Window.window.openOverlay("qrc:/customComponents/PreviewOverlay.qml",
                                                     { source: printClient.previewTest(row.printer.name) })
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

    Rectangle {
        objectName: "stateBadge"
        x: parent.width / 2
        // Centred on the first line, with the name and the switch.
        y: 4
        // One width for every situation: the longest text with room around it.
        width: {
            let widest = 0
            for (let situation = PrinterStatus.Offline; situation <= PrinterStatus.PaperLow; ++situation)
                widest = Math.max(widest, stateMetrics.advanceWidth(printClient.situationText(situation)))
            return Math.max(100, Math.ceil(widest) + 24)
        }
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
            text: printClient.situationText(row.situation)
            color: row.queueReady ? "#0D513C" : "#662A2A"
            font.pixelSize: 12
        }
        FontMetrics {
            id: stateMetrics
            font: stateLabel.font
        }
    }

    // What to do at the printer, under a state that needs it.
    CommonLabelRegular {
        objectName: "remedy"
        x: parent.width / 2
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 6
        width: parent.width / 2
        text: appSettings.printerRemedy(row.situation)
        elide: Text.ElideRight
        color: appSettings.problemText
        font.pixelSize: 12
    }

}
