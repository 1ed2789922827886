import QtQuick 2.15
import "configComponents"

// Terminal list: every payment terminal found, with the switch that offers it to the API.
DeviceList {
    id: terminals

    title: qsTr("Configuração de terminais de pagamento automático (TPA)")
    subtitle: qsTr("Defina as configurações dos terminais de pagamento no ponto de venda")
    headings: [qsTr("Terminais"), qsTr("Estado"), qsTr("Usar na faturação")]
    headingsVisible: rowCount > 0
    emptyText: qsTr("Não foi encontrado nenhum terminal")
    backText: qsTr("Voltar")
    refreshText: qsTr("Atualizar lista")
    listName: "tpaList"
    // Counted, like the printers, to keep the rows over a refresh.
    rowCount: printClient.tpas.length
    row: TpaListItem {
        width: terminals.rowWidth
        tpa: printClient.tpas[index]
    }
    busyBlocksClicks: true
    onRefresh: printClient.updateTpas()
}
