import QtQuick 2.15
import QtQuick.Controls 2.15
import "customComponents"

// The program's log lines of this run, newest first, and the diagnostics support asks for.
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
            text: qsTr("Registo")
        }
        SubTitle {
            width: parent.width
            text: qsTr("Consulte o registo de atividade do Varnel")
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
            delegate: Text {
                width: list.width - 16
                text: modelData
                textFormat: Text.PlainText
                wrapMode: Text.WrapAnywhere
                lineHeightMode: Text.ProportionalHeight
                lineHeight: 1.1
                color: appSettings.titleColor
                font.family: "monospace"
                font.pixelSize: 12
            }
            ScrollBar.vertical: ListScrollBar {
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
        spacing: 16

        CommonLabelRegular {
            objectName: "diagnosticsCopied"
            anchors.verticalCenter: parent.verticalCenter
            visible: copiedTimer.running
            text: qsTr("Copiado!")
            color: appSettings.onText
            font.pixelSize: appSettings.minorFontSize
        }
        CustomButton {
            objectName: "backButton"
            text: qsTr("Voltar")
            onClicked: logs.back()
        }
        CustomButton {
            objectName: "copyDiagnostics"
            primary: true
            text: qsTr("Copiar dados de diagnóstico")
            onClicked: {
                printClient.clipboard(diagnostics.text())
                copiedTimer.restart()
            }
        }
    }

    Timer {
        id: copiedTimer
        interval: appSettings.copyFeedbackDuration
    }
}
