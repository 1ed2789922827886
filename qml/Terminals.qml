import QtQuick 2.15
import QtQuick.Controls 2.15
import "customComponents"
import "configComponents"

// Terminal list: every payment terminal found, with the switch that offers it to the API.
Item {
    id: terminals

    signal back

    // Narrower margins on small windows.
    readonly property int margin: width < 800 ? 24 : 40
    readonly property int gap: height < 420 ? 12 : 20

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
            text: qsTr("Configuração de terminais de pagamento automático (TPA)")
        }
        SubTitle {
            width: parent.width
            text: qsTr("Defina as configurações dos terminais de pagamento no ponto de venda")
        }
    }

    RectangleShadow {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: heading.bottom
        anchors.bottom: buttons.top
        anchors.leftMargin: parent.margin
        anchors.rightMargin: parent.margin
        anchors.topMargin: parent.gap
        anchors.bottomMargin: parent.gap

        Item {
            id: columns
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.leftMargin: 28
            // As wide as the rows, whose columns the headings name.
            width: list.width - list.barRoom - 20
            height: 48
            visible: list.count > 0

            component Heading: CommonLabelMedium {
                anchors.verticalCenter: parent.verticalCenter
                color: appSettings.listColor
                font.pixelSize: appSettings.minorFontSize
            }

            Heading {
                text: qsTr("Terminais")
            }
            Heading {
                x: parent.width / 2
                text: qsTr("Estado")
            }
            Heading {
                x: parent.width * 3 / 4
                width: parent.width / 4
                wrapMode: Text.WordWrap
                text: qsTr("Usar na faturação")
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                objectName: "divider"
                color: appSettings.dividerColor
            }
        }

        // Every row is made (there are a handful), so the keyboard reaches each of them.
        ScrollPage {
            id: list
            objectName: "tpaList"
            readonly property int count: rows.count
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: columns.bottom
            anchors.bottom: parent.bottom
            anchors.leftMargin: 18
            anchors.rightMargin: 8
            anchors.bottomMargin: 4
            spacing: 0

            Repeater {
                id: rows
                // The controller re-announces the list after every refresh; counting rows instead
                // of taking the list as the model keeps the rows and the reader's place while it
                // holds the same number of entries.
                model: printClient.tpas.length

                TpaListItem {
                    width: list.width - list.barRoom - 20
                    height: 44
                    tpa: printClient.tpas[index]
                }
            }
        }

        Column {
            objectName: "tpasEmpty"
            anchors.centerIn: list
            visible: list.count === 0
            spacing: 12

            // Smaller, then left out, where the panel is low.
            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                height: Math.min(140, list.height - 60)
                visible: height >= 48
                fillMode: Image.PreserveAspectFit
                source: "qrc:/imgs/no-data-graphic.png"
            }
            CommonLabelRegular {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Não foi encontrado nenhum terminal")
                color: appSettings.noResultsColor
                font.pixelSize: appSettings.minorFontSize
            }
        }

        BusyOverlay {
            objectName: "tpasBusy"
            anchors.fill: parent
            radius: 8
            visible: printClient.fetching
            blocksClicks: true
        }
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
            onClicked: terminals.back()
        }
        CustomButton {
            objectName: "refreshButton"
            primary: true
            text: qsTr("Atualizar lista")
            onClicked: printClient.updateTpas()
        }
    }
}
