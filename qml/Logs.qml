import QtQuick 2.15
import QtQuick.Controls 2.15
import "customComponents"

// The program's log lines of this run, newest first, and the diagnostics support asks for.
ListScreen {
    id: logs

    // The time column: "10:00:02" in the log's face, and room after it.
    readonly property int timeWidth: 84

    title: qsTr("Registo")
    subtitle: qsTr("Consulte o registo de atividade do Varnel")

    panel: [
        ListHeadings {
            id: columns
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 28
            anchors.rightMargin: 28

            ColumnHeading {
                text: qsTr("Hora")
            }
            ColumnHeading {
                x: logs.timeWidth
                text: qsTr("Mensagem")
            }
        },
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
    ]

    buttons: [
        CommonLabelRegular {
            objectName: "diagnosticsCopied"
            anchors.verticalCenter: parent.verticalCenter
            visible: copiedTimer.running
            text: qsTr("Copiados!")
            color: appSettings.onText
            font.pixelSize: appSettings.minorFontSize
        },
        CustomButton {
            objectName: "backButton"
            text: qsTr("Voltar")
            onClicked: logs.back()
        },
        CustomButton {
            objectName: "copyDiagnostics"
            primary: true
            text: qsTr("Copiar dados de diagnóstico")
            onClicked: {
                printClient.clipboard(diagnostics.text())
                copiedTimer.restart()
            }
        }
    ]

    Timer {
        id: copiedTimer
        interval: appSettings.copyFeedbackDuration
    }
}
