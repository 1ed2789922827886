import QtQuick 2.15
import "customComponents"

// Start screen: the service switch, the security key and the entry cards for the two lists.
Item {
    id: initial

    signal openPrinters
    signal openTerminals

    component Card: RectangleShadow {
        id: card

        property alias image: illustration.source
        property alias title: cardTitle.text
        property alias subtitle: cardSubtitle.text
        signal clicked

        color: hover.containsMouse ? appSettings.btnHoverOn : appSettings.btnHoverOff

        Column {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            anchors.margins: 24
            spacing: 8

            Image {
                id: illustration
                anchors.horizontalCenter: parent.horizontalCenter
            }
            MainTitle {
                id: cardTitle
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                font.pixelSize: appSettings.subTitleFontSize
            }
            SubTitle {
                id: cardSubtitle
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                font.pixelSize: appSettings.minorFontSize
                lineHeight: 22
            }
        }

        MouseArea {
            id: hover
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: card.clicked()
        }
    }

    function copyKey() {
        printClient.clipboard(printClient.securityKey)
        copiedTimer.restart()
    }

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
            text: qsTr("Configuração de dispositivos")
        }
        SubTitle {
            width: parent.width
            text: qsTr("Escolha o tipo de dispositivo que pretende configurar")
        }
    }

    RectangleShadow {
        id: servicePanel
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: heading.bottom
        anchors.leftMargin: 40
        anchors.rightMargin: 40
        anchors.topMargin: 20
        height: 96

        Column {
            anchors.left: parent.left
            anchors.leftMargin: 28
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width / 2 - 28
            spacing: 6

            CommonLabelMedium {
                text: qsTr("Estado do serviço")
                color: appSettings.titleColor
                font.pixelSize: appSettings.subTitleFontSize
            }
            Row {
                spacing: 16

                CustomSwitch {
                    id: serviceSwitch
                    objectName: "serviceSwitch"
                    anchors.verticalCenter: parent.verticalCenter
                    onToggled: printClient.serverActive = checked

                    Binding on checked {
                        value: printClient.serverActive
                    }
                }
                CommonLabelRegular {
                    objectName: "serviceLabel"
                    anchors.verticalCenter: parent.verticalCenter
                    text: printClient.serverActive ? qsTr("Ativado") : qsTr("Desativado")
                    color: printClient.serverActive ? appSettings.onText : appSettings.subTitleColor
                    font.pixelSize: appSettings.minorFontSize
                }
            }
        }

        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.verticalCenter: parent.verticalCenter
            width: 1
            height: parent.height - 40
            color: appSettings.scrollbarColor
        }

        Column {
            anchors.left: parent.horizontalCenter
            anchors.leftMargin: 28
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width / 2 - 28
            spacing: 6

            CommonLabelMedium {
                text: qsTr("Chave de segurança:")
                color: appSettings.titleColor
                font.pixelSize: appSettings.subTitleFontSize
            }
            Row {
                spacing: 10

                CommonLabelMedium {
                    objectName: "securityKey"
                    anchors.verticalCenter: parent.verticalCenter
                    text: printClient.securityKey
                    textFormat: Text.PlainText
                    color: appSettings.blueBackground
                    font.pixelSize: appSettings.titleFontSize

                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: initial.copyKey()
                    }
                }
                Image {
                    objectName: "copyKey"
                    anchors.verticalCenter: parent.verticalCenter
                    source: "qrc:/imgs/copy-key.png"

                    MouseArea {
                        anchors.fill: parent
                        anchors.margins: -6
                        cursorShape: Qt.PointingHandCursor
                        onClicked: initial.copyKey()
                    }
                }
                CommonLabelRegular {
                    objectName: "keyCopied"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: copiedTimer.running
                    text: qsTr("Copiado!")
                    color: appSettings.onText
                    font.pixelSize: appSettings.minorFontSize
                }
            }
        }

        Timer {
            id: copiedTimer
            interval: appSettings.copyFeedbackDuration
        }
    }

    // Whether the browsers accept the service's certificate, and the way to make them.
    RectangleShadow {
        id: trustPanel
        readonly property var trust: printClient.localTrust
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: servicePanel.bottom
        anchors.leftMargin: 40
        anchors.rightMargin: 40
        anchors.topMargin: 16
        height: 64

        Column {
            anchors.left: parent.left
            anchors.right: trustButton.left
            anchors.leftMargin: 28
            anchors.rightMargin: 20
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            CommonLabelMedium {
                text: qsTr("Certificado do serviço")
                color: appSettings.titleColor
                font.pixelSize: appSettings.minorFontSize
            }
            CommonLabelRegular {
                objectName: "trustState"
                width: parent.width
                elide: Text.ElideRight
                textFormat: Text.PlainText
                text: trustPanel.trust.identityError !== ""
                      ? qsTr("Não foi possível criar o certificado; o serviço está parado.") + " " + trustPanel.trust.identityError
                      : trustPanel.trust.trustError !== ""
                        ? qsTr("Não foi possível confiar no certificado.") + " " + trustPanel.trust.trustError
                        : trustPanel.trust.trusted ? qsTr("Confiado no Chromium e no Firefox") : qsTr("Ainda não confiado")
                color: trustPanel.trust.trusted && trustPanel.trust.identityError === "" ? appSettings.onText
                                                                                         : appSettings.subTitleColor
                font.pixelSize: appSettings.minorFontSize
            }
        }
        CustomButton {
            id: trustButton
            objectName: "trustButton"
            anchors.right: parent.right
            anchors.rightMargin: 28
            anchors.verticalCenter: parent.verticalCenter
            visible: !trustPanel.trust.trusted && trustPanel.trust.identityError === ""
            enabled: !trustPanel.trust.busy
            opacity: enabled ? 1 : 0.5
            primary: true
            text: qsTr("Confiar")
            onClicked: trustPanel.trust.trust()
        }
    }

    Row {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: trustPanel.bottom
        anchors.bottom: parent.bottom
        anchors.margins: 40
        anchors.topMargin: 16
        anchors.bottomMargin: 32
        spacing: 30

        Card {
            objectName: "printersCard"
            width: (parent.width - parent.spacing) / 2
            height: parent.height
            image: "qrc:/imgs/illustration-1.png"
            title: qsTr("Impressoras")
            subtitle: qsTr("Configurar impressoras no ponto de venda.")
            onClicked: initial.openPrinters()
        }
        Card {
            objectName: "terminalsCard"
            width: (parent.width - parent.spacing) / 2
            height: parent.height
            visible: printClient.language !== "es"
            image: "qrc:/imgs/illustration-2.png"
            title: qsTr("Terminais de pagamento automático (TPA)")
            subtitle: qsTr("Configurar terminais no ponto de venda.")
            onClicked: initial.openTerminals()
        }
    }
}
