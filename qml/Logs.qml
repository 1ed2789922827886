import QtQuick 2.15
import QtQuick.Controls 2.15
import "customComponents"

// Debug log: the program's log lines, newest first.
Item {
    id: logs

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
            text: qsTr("Logs")
        }
        SubTitle {
            width: parent.width
            text: qsTr("Consulte os logs")
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

            CommonLabelMedium {
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("Mensagem")
                color: appSettings.listColor
                font.pixelSize: appSettings.minorFontSize
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
            objectName: "logList"
            anchors.left: columns.left
            anchors.right: columns.right
            anchors.top: columns.bottom
            anchors.bottom: parent.bottom
            anchors.topMargin: 8
            anchors.bottomMargin: 12
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            spacing: 6
            model: printClient.debugMessages
            delegate: CommonLabelLight {
                width: list.width - 12
                text: modelData
                textFormat: Text.PlainText
                wrapMode: Text.WrapAnywhere
                lineHeightMode: Text.ProportionalHeight
                lineHeight: 1.1
                color: appSettings.titleColor
                font.pixelSize: 12
            }
            ScrollIndicator.vertical: ListScrollIndicator {
                list: list
            }
        }
    }

    Row {
        id: buttons
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 40
        anchors.bottomMargin: 24

        CustomButton {
            objectName: "backButton"
            text: qsTr("Voltar")
            onClicked: logs.back()
        }
    }
}
