import QtQuick 2.15
import QtQuick.Controls 2.15
import "customComponents"

// The program's log lines of this run, newest first, and the diagnostics support asks for.
Item {
    id: logs

    signal back

    // Narrower margins on small windows.
    readonly property int margin: width < 800 ? 24 : 40
    readonly property int gap: height < 420 ? 12 : 20
    // The time column: "10:00:02" in the log's face, and room after it.
    readonly property int timeWidth: 84

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
        anchors.leftMargin: parent.margin
        anchors.rightMargin: parent.margin
        anchors.topMargin: parent.gap
        anchors.bottomMargin: parent.gap

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
                text: qsTr("Hora")
                color: appSettings.listColor
                font.pixelSize: appSettings.minorFontSize
            }
            CommonLabelMedium {
                x: logs.timeWidth
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("Mensagem")
                color: appSettings.listColor
                font.pixelSize: appSettings.minorFontSize
            }
            Rectangle {
                objectName: "divider"
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: appSettings.dividerColor
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
            // "[2026-12-06 10:00:02.000]: message" as its time of day and its message.
            delegate: Item {
                readonly property var parts: /^\[\d{4}-\d\d-\d\d (\d\d:\d\d:\d\d)[.\d]*\]: ([^]*)$/.exec(modelData)

                width: list.width - 16
                height: message.height

                Text {
                    objectName: "logTime"
                    text: parent.parts ? parent.parts[1] : ""
                    color: appSettings.subTitleColor
                    font.family: "monospace"
                    font.pixelSize: 12
                    lineHeightMode: Text.ProportionalHeight
                    lineHeight: 1.1
                }
                Text {
                    id: message
                    objectName: "logMessage"
                    x: logs.timeWidth
                    width: parent.width - x
                    text: parent.parts ? parent.parts[2] : modelData
                    textFormat: Text.PlainText
                    wrapMode: Text.WrapAnywhere
                    lineHeightMode: Text.ProportionalHeight
                    lineHeight: 1.1
                    color: appSettings.titleColor
                    font.family: "monospace"
                    font.pixelSize: 12
                }
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
        anchors.margins: parent.margin
        anchors.bottomMargin: parent.gap
        spacing: 16

        CommonLabelRegular {
            objectName: "diagnosticsCopied"
            anchors.verticalCenter: parent.verticalCenter
            visible: copiedTimer.running
            text: qsTr("Copiados!")
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
