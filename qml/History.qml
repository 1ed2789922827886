import QtQuick 2.15
import QtQuick.Window 2.15
import "customComponents"

// The day's receipts and payments, newest first, with how each ended; a kept receipt prints again
// on a printer of the cashier's choice, and the day's payments go to a CSV file.
ListScreen {
    id: history

    // What the last export or reprint came to, under the list.
    property string notice: ""
    property bool noticeProblem: false
    // Columns: time, what, where, amount, outcome (with the reprint link).
    readonly property var columnX: [0, 0.1, 0.3, 0.52, 0.64]

    title: qsTr("Histórico")
    subtitle: qsTr("Talões e pagamentos de hoje")
    panelBottomMargin: noticeLine.height + 16

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

    panel: [
        ListHeadings {
            id: columns
            x: 28
            width: list.width - list.barRoom - 20

            Repeater {
                model: [qsTr("Hora"), qsTr("Operação"), qsTr("Impressora ou terminal"), qsTr("Montante"),
                    qsTr("Resultado")]

                ColumnHeading {
                    x: columns.width * history.columnX[index]
                    width: columns.width * ((history.columnX[index + 1] || 1) - history.columnX[index]) - 8
                    elide: Text.ElideRight
                    text: modelData
                }
            }
        },
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
                    // The texts of the first four columns.
                    readonly property var cells: [model.time, model.what, model.place, model.amount]
                    width: list.width - list.barRoom - 20
                    height: 44

                    Repeater {
                        model: row.cells

                        Cell {
                            anchors.verticalCenter: parent.verticalCenter
                            x: row.width * history.columnX[index]
                            width: row.width * (history.columnX[index + 1] - history.columnX[index]) - 8
                            text: modelData
                        }
                    }
                    Row {
                        x: row.width * history.columnX[4]
                        width: row.width - x
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
        },
        EmptyNote {
            objectName: "historyEmpty"
            anchors.centerIn: list
            room: list.height
            visible: printClient.history.count === 0
            text: qsTr("Ainda não há talões nem pagamentos hoje")
        }
    ]

    CommonLabelRegular {
        id: noticeLine
        objectName: "historyNotice"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: history.buttonRow.top
        anchors.leftMargin: history.margin
        anchors.rightMargin: history.margin
        anchors.bottomMargin: 8
        height: 22
        text: history.notice
        textFormat: Text.PlainText
        elide: Text.ElideMiddle
        color: history.noticeProblem ? appSettings.problemText : appSettings.onText
        font.pixelSize: appSettings.minorFontSize
    }

    buttons: [
        CustomButton {
            objectName: "backButton"
            text: qsTr("Voltar")
            onClicked: history.back()
        },
        CustomButton {
            objectName: "historyRefresh"
            text: qsTr("Atualizar")
            onClicked: {
                history.notice = ""
                printClient.history.refresh()
            }
        },
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
    ]
}
