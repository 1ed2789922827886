import QtQuick 2.15
import QtQuick.Controls 2.15
import "customComponents"
import "configComponents"

// Printer list: every print queue found, with its state and the switch that offers it to the API.
Item {
    id: config

    signal back

    Rectangle {
        anchors.fill: parent
        color: appSettings.greyBackground
    }

    Column {
        id: heading
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 40
        anchors.topMargin: 28
        spacing: 2

        MainTitle {
            width: parent.width
            text: qsTr("Configuração de impressoras")
        }
        SubTitle {
            width: parent.width
            text: qsTr("Defina as configurações das impressoras no terminal do ponto de venda")
        }
    }

    RectangleShadow {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: heading.bottom
        anchors.bottom: buttons.top
        anchors.leftMargin: 40
        anchors.rightMargin: 40
        anchors.topMargin: 20
        anchors.bottomMargin: 20

        Item {
            id: columns
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.leftMargin: 28
            anchors.rightMargin: 28
            height: 48

            component Heading: CommonLabelMedium {
                anchors.verticalCenter: parent.verticalCenter
                color: appSettings.listColor
                font.pixelSize: appSettings.minorFontSize
            }

            Heading {
                text: qsTr("Impressoras")
            }
            Heading {
                x: parent.width / 2
                text: qsTr("Estado")
            }
            Heading {
                x: parent.width * 3 / 4
                text: qsTr("Disponível")
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: appSettings.greyBackground
            }
        }

        ListView {
            id: list
            objectName: "printerList"
            anchors.left: columns.left
            anchors.right: columns.right
            anchors.top: columns.bottom
            anchors.topMargin: 4
            // Whole rows only, and scrolling comes to rest on a row: no row is left cut in half.
            readonly property int rowHeight: 60
            height: Math.max(0, Math.floor((parent.height - columns.height - 16) / rowHeight)) * rowHeight
            snapMode: ListView.SnapToItem
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            // The controller re-announces the list after every refresh; counting rows instead of
            // taking the list as the model keeps the rows and the reader's place while it holds the
            // same number of entries.
            model: printClient.printers.length
            delegate: PrinterListItem {
                width: list.width - 16
                height: list.rowHeight
                printer: printClient.printers[index]
            }
            ScrollBar.vertical: ListScrollBar {
                list: list
            }
        }

        Column {
            objectName: "printersEmpty"
            anchors.centerIn: parent
            visible: list.count === 0
            spacing: 12

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                source: "qrc:/imgs/no-data-graphic.png"
            }
            CommonLabelRegular {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Não foi encontrada nenhuma impressora")
                color: appSettings.noResultsColor
                font.pixelSize: appSettings.minorFontSize
            }
        }

        BusyOverlay {
            objectName: "printersBusy"
            anchors.fill: parent
            radius: 8
            visible: printClient.fetching
        }
    }

    Row {
        id: buttons
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 40
        anchors.bottomMargin: 24
        spacing: 16

        CustomButton {
            objectName: "backButton"
            text: qsTr("Voltar")
            onClicked: config.back()
        }
        CustomButton {
            objectName: "refreshButton"
            primary: true
            text: qsTr("Atualizar lista")
            onClicked: printClient.updatePrinters()
        }
    }
}
