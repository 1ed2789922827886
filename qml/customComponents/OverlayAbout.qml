import QtQuick 2.15

// The "about" panel over the whole window: version, date, system, addresses and the compatibility
// switch. It animates in when created and destroys itself after animating out; Esc closes it.
Modal {
    id: overlay

    // The user asked for the log; the window shows it once the panel has closed.
    signal openLog

    dimming: panel.opacity
    onCloseRequested: overlay.close()

    function close() {
        if (closing.running)
            return
        opening.stop()
        closing.start()
    }

    component InfoRow: Row {
        property alias label: labelText.text
        property alias value: valueText.text
        property real maxWidth: 400

        spacing: 8

        CommonLabelMedium {
            id: labelText
            color: appSettings.titleColor
            font.pixelSize: appSettings.minorFontSize
        }
        // Long values (the system's name) wrap rather than lose their end.
        CommonLabelRegular {
            id: valueText
            width: Math.min(implicitWidth, maxWidth - labelText.width - spacing)
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: appSettings.subTitleColor
            font.pixelSize: appSettings.minorFontSize
        }
    }

    RectangleShadow {
        id: panel
        objectName: "aboutPanel"
        anchors.centerIn: parent
        // On a small window the panel keeps a margin and its content scrolls.
        width: Math.min(480, overlay.width - 32)
        height: Math.min(content.contentHeight + 36, overlay.height - 32)
        opacity: 0
        scale: 0

        // Clicks on the panel stay on the panel.
        MouseArea {
            anchors.fill: parent
        }

        // First for the keyboard, above the content for the eye.
        IconButton {
            objectName: "aboutClose"
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.margins: 16
            z: 1
            source: "qrc:/imgs/vrl-version-close.png"
            name: qsTr("Fechar")
            onClicked: overlay.close()
        }

        ScrollPage {
            id: content
            anchors.fill: parent
            anchors.margins: 18
            spacing: 12

            Image {
                source: "qrc:/imgs/logo_tesmar_cabecalho.png"
            }

            Row {
                spacing: 12

                Image {
                    anchors.verticalCenter: parent.verticalCenter
                    source: printClient.hasUpdate ? "qrc:/imgs/vrl-version-alert.png" : "qrc:/imgs/vrl-version-updated.png"
                }
                MainTitle {
                    anchors.verticalCenter: parent.verticalCenter
                    text: printClient.hasUpdate ? qsTr("O Varnel está desatualizado") : qsTr("O Varnel está atualizado")
                }
            }

            Column {
                width: parent.width
                spacing: 4

                InfoRow {
                    objectName: "aboutVersion"
                    maxWidth: parent.width
                    label: qsTr("Versão:")
                    value: RELEASENAME
                }
                InfoRow {
                    maxWidth: parent.width
                    label: qsTr("Data:")
                    value: RELEASEDATE
                }
                InfoRow {
                    objectName: "aboutSystem"
                    maxWidth: parent.width
                    label: qsTr("Sistema operativo:")
                    value: OSDATA
                }
                Repeater {
                    model: printClient.ipAddresses

                    Row {
                        objectName: "ipRow"
                        spacing: 10

                        InfoRow {
                            anchors.verticalCenter: parent.verticalCenter
                            label: qsTr("IP:")
                            value: modelData
                        }
                        IconButton {
                            objectName: "copyIp"
                            anchors.verticalCenter: parent.verticalCenter
                            source: "qrc:/imgs/copy-key.png"
                            name: qsTr("Copiar o endereço %1").arg(modelData)
                            onClicked: {
                                printClient.clipboard(modelData)
                                ipCopied.restart()
                            }
                        }
                        CommonLabelRegular {
                            objectName: "ipCopied"
                            anchors.verticalCenter: parent.verticalCenter
                            visible: ipCopied.running
                            text: qsTr("Copiado!")
                            color: appSettings.onText
                            font.pixelSize: appSettings.minorFontSize
                        }
                        Timer {
                            id: ipCopied
                            interval: appSettings.copyFeedbackDuration
                        }
                    }
                }
            }

            Row {
                spacing: 12

                CommonLabelMedium {
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Modo de compatibilidade")
                    color: appSettings.titleColor
                    font.pixelSize: appSettings.minorFontSize
                }
                CustomSwitch {
                    objectName: "compatibilitySwitch"
                    anchors.verticalCenter: parent.verticalCenter
                    name: qsTr("Modo de compatibilidade")
                    checked: printClient.compatibilityMode
                    onToggled: printClient.compatibilityMode = checked
                }
                CommonLabelRegular {
                    anchors.verticalCenter: parent.verticalCenter
                    text: printClient.compatibilityMode ? qsTr("Ativado") : qsTr("Desativado")
                    color: appSettings.subTitleColor
                    font.pixelSize: appSettings.minorFontSize
                }
            }

            LinkText {
                objectName: "aboutLog"
                text: qsTr("Ver registo")
                onClicked: {
                    overlay.openLog()
                    overlay.close()
                }
            }

            Rectangle {
                objectName: "aboutUpdate"
                visible: printClient.hasUpdate
                width: parent.width
                height: 64
                radius: 8
                color: appSettings.btnHoverOn

                CommonLabelMedium {
                    anchors.left: parent.left
                    anchors.leftMargin: 16
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Atualização disponível.")
                    color: appSettings.blueBackground
                    font.pixelSize: appSettings.minorFontSize
                }
                CustomButton {
                    objectName: "aboutDownload"
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    primary: true
                    text: qsTr("Atualizar")
                    onClicked: Qt.openUrlExternally(appSettings.downloadPage(printClient.language))
                }
            }
        }

    }

    NumberAnimation {
        id: opening
        running: true
        target: panel
        properties: "opacity,scale"
        from: 0
        to: 1
        duration: 200
        easing.type: Easing.OutBack
    }

    // The mirror of the opening curve, so the panel never overshoots past nothing on its way out.
    SequentialAnimation {
        id: closing

        NumberAnimation {
            target: panel
            properties: "opacity,scale"
            to: 0
            duration: 200
            easing.type: Easing.InBack
        }
        ScriptAction {
            script: overlay.destroy()
        }
    }
}
