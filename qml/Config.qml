import QtQuick 2.15
import "configComponents"

// Printer list: every print queue found, with its state and the switch that offers it to the API.
DeviceList {
    id: config

    title: qsTr("Configuração de impressoras")
    subtitle: qsTr("Defina as configurações das impressoras no terminal do ponto de venda")
    headings: [qsTr("Impressoras"), qsTr("Estado"), qsTr("Usar na faturação")]
    emptyText: qsTr("Não foi encontrada nenhuma impressora")
    backText: qsTr("Voltar")
    refreshText: qsTr("Atualizar lista")
    listName: "printerList"
    // The controller re-announces the list after every refresh; counting rows instead of taking the
    // list as the model keeps the rows and the reader's place while it holds the same number of
    // entries.
    rowCount: printClient.printers.length
    row: PrinterListItem {
        width: config.rowWidth
        printer: printClient.printers[index]
    }
    onRefresh: printClient.updatePrinters()
}
