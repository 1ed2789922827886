import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import "customComponents"

// The day's receipts and payments, newest first, with how each ended; a kept receipt prints again
// on a printer of the cashier's choice, and the day's payments go to a CSV file.
Item {
    id: history

    signal back

    // Narrower margins on small windows.
    readonly property int margin: width < 800 ? 24 : 40
    readonly property int gap: height < 420 ? 12 : 20
    // What the last export or reprint came to, under the list.
    property string notice: ""
    property bool noticeProblem: false

    // Fresh whenever the screen is opened.
    onVisibleChanged: {
        if (visible) {
            notice = ""
            printClient.history.refresh()
        }
    }

    component Cell: CommonLabelRegular {
        textFormat: Text.PlainText
        elide: Text.ElideRight
        color: appSettings.titleColor
        font.pixelSize: appSettings.minorFontSize
    }

    function choosePrinter(entry) {
        const chooser = history.Window.window.openOverlay("qrc:/customComponents/PrinterChoice.qml",
                                                          { printers: printClient.history.printers() })
        chooser.chosen.connect(function (printer) {
            history.notice = qsTr("A reimprimir em %1…").arg(printer)
            history.noticeProblem = false
            printClient.history.reprint(entry, printer)
        })
    }

    Connections {
        target: printClient.history
        function onReprinted(entry, error) {
            history.notice = error === "" ? qsTr("Talão enviado para a impressora") : error
            history.noticeProblem = error !== ""
        }
    }

    Rectangle {
        anchors.fill: parent
        color: appSettings.greyBackground
    }

    Column {
        id: heading
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: parent.margin
        anchors.topMargin: parent.gap + 4
        spacing: 2

        MainTitle {
            width: parent.width
            text: qsTr("Histórico")
        }
        SubTitle {
            width: parent.width
            text: qsTr("Talões e pagamentos de hoje")
        }
    }

    RectangleShadow {
        id: panel
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: heading.bottom
        anchors.bottom: noticeLine.top
        anchors.leftMargin: parent.margin
        anchors.rightMargin: parent.margin
        anchors.topMargin: parent.gap
        anchors.bottomMargin: 8

        // Columns: time, what, where, amount, outcome (with the reprint link).
        readonly property var columnX: [0, 0.1, 0.3, 0.52, 0.64]

        Item {
            id: columns
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.leftMargin: 28
            width: list.width - list.barRoom - 20
            height: 48

            component Heading: CommonLabelMedium {
                anchors.verticalCenter: parent.verticalCenter
                color: appSettings.listColor
                font.pixelSize: appSettings.minorFontSize
            }

            Repeater {
                model: [qsTr("Hora"), qsTr("Operação"), qsTr("Impressora ou terminal"), qsTr("Montante"),
                    qsTr("Resultado")]

                Heading {
                    x: columns.width * panel.columnX[index]
                    width: columns.width * ((panel.columnX[index + 1] || 1) - panel.columnX[index]) - 8
                    elide: Text.ElideRight
                    text: modelData
                }
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                objectName: "divider"
                color: appSettings.dividerColor
            }
        }

        ScrollPage {
            id: list
            objectName: "historyList"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: columns.bottom
            anchors.bottom: parent.bottom
            anchors.leftMargin: 18
            anchors.rightMargin: 8
            anchors.bottomMargin: 4
            spacing: 0

            Repeater {
                model: printClient.history

                Item {
                    id: row
                    objectName: "historyRow"
                    readonly property string rowKind: model.kind
                    readonly property real unit: width
                    width: list.width - list.barRoom - 20
                    height: 44

                    Cell {
                        objectName: "historyTime"
                        anchors.verticalCenter: parent.verticalCenter
                        width: row.unit * panel.columnX[1] - 8
                        text: model.time
                    }
                    Cell {
                        objectName: "historyWhat"
                        anchors.verticalCenter: parent.verticalCenter
                        x: row.unit * panel.columnX[1]
                        width: row.unit * (panel.columnX[2] - panel.columnX[1]) - 8
                        text: model.what
                    }
                    Cell {
                        objectName: "historyPlace"
                        anchors.verticalCenter: parent.verticalCenter
                        x: row.unit * panel.columnX[2]
                        width: row.unit * (panel.columnX[3] - panel.columnX[2]) - 8
                        text: model.place
                    }
                    Cell {
                        objectName: "historyAmount"
                        anchors.verticalCenter: parent.verticalCenter
                        x: row.unit * panel.columnX[3]
                        width: row.unit * (panel.columnX[4] - panel.columnX[3]) - 8
                        text: model.amount
                    }
                    Row {
                        x: row.unit * panel.columnX[4]
                        width: row.unit - x
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 12

                        Cell {
                            objectName: "historyOutcome"
                            width: parent.width - (reprintLink.visible ? reprintLink.width + 12 : 0)
                            text: model.outcome
                            font.family: appSettings.fontMedium
                            color: model.tone === "done" ? appSettings.calmText
                                 : model.tone === "problem" ? appSettings.problemText
                                 : model.tone === "unknown" ? appSettings.warningText : appSettings.subTitleColor
                        }
                        LinkText {
                            id: reprintLink
                            objectName: "reprintButton"
                            visible: model.reprintable
                            text: qsTr("Reimprimir")
                            onClicked: history.choosePrinter(model.entry)
                        }
                    }
                    Rectangle {
                        anchors.bottom: parent.bottom
                        width: parent.width
                        height: 1
                        color: appSettings.scrollbarColor
                    }
                }
            }
        }

        Column {
            objectName: "historyEmpty"
            anchors.centerIn: list
            visible: printClient.history.count === 0
            spacing: 12

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                height: Math.min(140, list.height - 60)
                visible: height >= 48
                fillMode: Image.PreserveAspectFit
                source: "qrc:/imgs/no-data-graphic.png"
            }
            CommonLabelRegular {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Ainda não há talões nem pagamentos hoje")
                color: appSettings.noResultsColor
                font.pixelSize: appSettings.minorFontSize
            }
        }
    }

    CommonLabelRegular {
        id: noticeLine
        objectName: "historyNotice"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: buttons.top
        anchors.leftMargin: parent.margin
        anchors.rightMargin: parent.margin
        anchors.bottomMargin: 8
        height: 22
        text: history.notice
        textFormat: Text.PlainText
        elide: Text.ElideMiddle
        color: history.noticeProblem ? appSettings.problemText : appSettings.onText
        font.pixelSize: appSettings.minorFontSize
    }

    Row {
        id: buttons
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: parent.margin
        anchors.bottomMargin: parent.gap
        spacing: 16

        CustomButton {
            objectName: "backButton"
            text: qsTr("Voltar")
            onClicked: history.back()
        }
        CustomButton {
            objectName: "historyRefresh"
            text: qsTr("Atualizar")
            onClicked: {
                history.notice = ""
                printClient.history.refresh()
            }
        }
        CustomButton {
            objectName: "exportPayments"
            primary: true
            text: qsTr("Exportar pagamentos (CSV)")
            onClicked: {
                const path = printClient.history.exportPayments()
                history.noticeProblem = path === ""
                history.notice = path === "" ? qsTr("Não foi possível guardar o ficheiro em %1")
                                               .arg(printClient.history.exportFolder)
                                             : qsTr("Pagamentos de hoje guardados em %1").arg(path)
            }
        }
    }
}
