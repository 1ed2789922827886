import QtQuick 2.15
import "customComponents"

// Start screen, read at a glance: first what needs doing (with the one action that does it), then
// the state of the service, the browser connection, the printers and terminals in use, the
// security key, and the ways into the two lists.
Item {
    id: initial

    signal openPrinters
    signal openTerminals

    readonly property var trust: printClient.localTrust
    readonly property bool terminalsShown: printClient.language !== "es"
    readonly property int margin: width < 800 ? 14 : 30

    // The printers and terminals offered to the invoicing; bindings over every element, so they
    // follow each one's switch and state.
    readonly property var usedPrinters: inUse(printClient.printers)
    readonly property var usedTerminals: terminalsShown ? inUse(printClient.tpas) : []

    function inUse(devices) {
        const used = []
        for (let i = 0; i < devices.length; ++i) {
            if (devices[i].available)
                used.push(devices[i])
        }
        return used
    }

    // The first thing that keeps the invoicing from working, most fundamental first; "" when none.
    readonly property var problem: {
        if (!printClient.serverActive)
            return { kind: "service", title: qsTr("O serviço está desligado"),
                     detail: qsTr("A faturação não consegue imprimir nem usar os terminais de pagamento."),
                     action: qsTr("Ligar o serviço") }
        if (trust.identityError !== "")
            return { kind: "identity", title: qsTr("Não foi possível preparar a ligação ao navegador"),
                     detail: qsTr("Reinicie o Varnel; se o aviso continuar, contacte o apoio ao cliente."), action: "" }
        if (!trust.trusted)
            return { kind: "trust", title: qsTr("O navegador ainda não reconhece o Varnel"),
                     detail: trust.trustError !== ""
                             ? qsTr("A autorização não ficou concluída. Feche o navegador e tente de novo.")
                             : qsTr("Abra o Firefox uma vez antes de autorizar, para que também o reconheça."),
                     action: qsTr("Autorizar no navegador") }
        for (let i = 0; i < usedPrinters.length; ++i) {
            const printer = usedPrinters[i]
            if (!appSettings.printerReady(printer.situation))
                return { kind: "printer",
                         title: appSettings.afterName(printer.name, printClient.situationText(printer.situation)),
                         detail: appSettings.printerRemedy(printer.situation), action: qsTr("Ver impressoras") }
        }
        for (let j = 0; j < usedTerminals.length; ++j) {
            const tpa = usedTerminals[j]
            if (!appSettings.terminalReady(tpa.terminalState))
                return { kind: "terminal",
                         title: appSettings.afterName(tpa.name, appSettings.terminalStateText(tpa.terminalState)),
                         detail: appSettings.terminalRemedy(tpa.terminalState), action: qsTr("Ver terminais") }
        }
        return { kind: "", title: qsTr("Tudo pronto para faturar"),
                 detail: qsTr("O serviço está ligado e o navegador reconhece o Varnel."), action: "" }
    }

    function fix() {
        switch (problem.kind) {
        case "service":
            printClient.serverActive = true
            break
        case "trust":
            trust.trust()
            break
        case "printer":
            initial.openPrinters()
            break
        case "terminal":
            initial.openTerminals()
            break
        }
    }

    function copyKey() {
        printClient.clipboard(printClient.securityKey)
        copiedTimer.restart()
    }

    // One line of the status panel: a dot in the state's colour, what it is about, a control if
    // it has one (extraWidth wide), and its state.
    component StatusLine: Item {
        property alias label: lineLabel.text
        property alias value: lineValue.text
        property bool good: true
        property real extraWidth: 0
        default property alias extra: extraSlot.data

        width: parent.width
        height: Math.max(32, lineValue.height + 8)

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: 10
            height: 10
            radius: 5
            color: parent.good ? appSettings.switchOn : appSettings.warningBorder
        }
        CommonLabelRegular {
            id: lineLabel
            x: 22
            width: lines.labelWidth
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: appSettings.subTitleColor
            font.pixelSize: appSettings.minorFontSize
        }
        Item {
            id: extraSlot
            x: lineLabel.x + lineLabel.width + 12
            width: parent.extraWidth
            height: parent.height
        }
        CommonLabelMedium {
            id: lineValue
            x: extraSlot.x + (parent.extraWidth > 0 ? parent.extraWidth + 12 : 0)
            width: parent.width - x
            anchors.verticalCenter: parent.verticalCenter
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            color: parent.good ? appSettings.titleColor : appSettings.problemText
            font.pixelSize: appSettings.minorFontSize
        }
    }

    component Card: RectangleShadow {
        id: card

        property alias image: illustration.source
        property alias title: cardTitle.text
        property alias subtitle: cardSubtitle.text
        signal clicked

        height: Math.max(96, texts.height + 32)
        color: hover.containsMouse ? appSettings.btnHoverOn : appSettings.btnHoverOff
        activeFocusOnTab: visible
        Keys.onReturnPressed: card.clicked()
        Keys.onEnterPressed: card.clicked()
        Keys.onSpacePressed: card.clicked()
        Accessible.role: Accessible.Button
        Accessible.name: cardTitle.text
        Accessible.description: cardSubtitle.text
        Accessible.onPressAction: card.clicked()

        Image {
            id: illustration
            x: 16
            anchors.verticalCenter: parent.verticalCenter
            width: 80
            height: 60
            fillMode: Image.PreserveAspectFit
            mipmap: true
        }
        Column {
            id: texts
            anchors.left: illustration.right
            anchors.right: parent.right
            anchors.leftMargin: 16
            anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            MainTitle {
                id: cardTitle
                width: parent.width
                font.pixelSize: appSettings.subTitleFontSize
                lineHeight: 22
            }
            SubTitle {
                id: cardSubtitle
                width: parent.width
                font.pixelSize: appSettings.minorFontSize
                lineHeight: 20
            }
        }

        MouseArea {
            id: hover
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: card.clicked()
        }

        FocusRing {
            control: card
            radius: 12
        }
    }

    Rectangle {
        anchors.fill: parent
        color: appSettings.greyBackground
    }

    ScrollPage {
        id: page
        objectName: "startPage"
        anchors.fill: parent
        anchors.leftMargin: initial.margin
        anchors.rightMargin: initial.margin
        anchors.topMargin: 8
        spacing: 16

        // What needs doing, in warning colours with the action that does it; or calm.
        Rectangle {
            id: banner
            objectName: "healthBanner"
            readonly property bool calm: initial.problem.kind === ""
            readonly property bool stacked: width < 560
            width: parent.width
            height: bannerTexts.height + (bannerAction.visible && stacked ? bannerAction.height + 12 : 0) + 32
            radius: 8
            color: calm ? appSettings.calmBackground : appSettings.warningBackground
            border.width: calm ? 0 : 1
            border.color: appSettings.warningBorder

            Column {
                id: bannerTexts
                x: 20
                y: 16
                width: parent.width - 40 - (bannerAction.visible && !banner.stacked ? bannerAction.width + 20 : 0)
                spacing: 2

                CommonLabelMedium {
                    objectName: "healthTitle"
                    width: parent.width
                    text: initial.problem.title
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    color: banner.calm ? appSettings.calmText : appSettings.warningText
                    font.pixelSize: appSettings.subTitleFontSize
                }
                CommonLabelRegular {
                    objectName: "healthDetail"
                    width: parent.width
                    visible: text !== ""
                    text: initial.problem.detail
                    wrapMode: Text.Wrap
                    lineHeight: 20
                    color: banner.calm ? appSettings.calmText : appSettings.warningText
                    font.pixelSize: appSettings.minorFontSize
                }
            }
            CustomButton {
                id: bannerAction
                objectName: "healthAction"
                x: banner.stacked ? 20 : parent.width - width - 20
                y: banner.stacked ? bannerTexts.y + bannerTexts.height + 12 : (parent.height - height) / 2
                visible: initial.problem.action !== ""
                enabled: initial.problem.kind !== "trust" || !initial.trust.busy
                opacity: enabled ? 1 : 0.5
                primary: true
                text: initial.problem.action
                onClicked: initial.fix()
            }
        }

        RectangleShadow {
            width: parent.width
            height: lines.height + 24

            Column {
                id: lines
                readonly property real labelWidth: Math.min(240, width * 0.4)
                x: 20
                y: 12
                width: parent.width - 40

                StatusLine {
                    objectName: "serviceLine"
                    label: qsTr("Serviço")
                    good: printClient.serverActive
                    value: printClient.serverActive ? qsTr("Ligado") : qsTr("Desligado")

                    extraWidth: serviceSwitch.width

                    CustomSwitch {
                        id: serviceSwitch
                        objectName: "serviceSwitch"
                        anchors.verticalCenter: parent.verticalCenter
                        name: qsTr("Serviço")
                        onToggled: printClient.serverActive = checked

                        Binding on checked {
                            value: printClient.serverActive
                        }
                    }
                }

                StatusLine {
                    objectName: "trustLine"
                    label: qsTr("Ligação ao navegador")
                    good: initial.trust.trusted && initial.trust.identityError === ""
                    value: initial.trust.identityError !== "" ? qsTr("Não preparada")
                                                              : initial.trust.trusted ? qsTr("O navegador reconhece o Varnel")
                                                                                      : qsTr("O navegador ainda não reconhece o Varnel")
                }
                // The banner carries the action while it is about this.
                Item {
                    width: parent.width
                    height: trustButton.height + 8
                    visible: !initial.trust.trusted && initial.trust.identityError === ""
                             && initial.problem.kind !== "trust"

                    CustomButton {
                        id: trustButton
                        objectName: "trustButton"
                        x: 22 + lines.labelWidth + 12
                        enabled: !initial.trust.busy
                        opacity: enabled ? 1 : 0.5
                        height: 32
                        text: qsTr("Autorizar no navegador")
                        onClicked: initial.trust.trust()
                    }
                }

                Divider {
                }

                StatusLine {
                    objectName: "noPrinterLine"
                    visible: initial.usedPrinters.length === 0
                    label: qsTr("Impressoras")
                    value: qsTr("Nenhuma escolhida para a faturação")
                }
                Repeater {
                    model: initial.usedPrinters

                    StatusLine {
                        objectName: "printerLine"
                        label: modelData.name
                        good: appSettings.printerReady(modelData.situation)
                        value: printClient.situationText(modelData.situation)
                               + (good ? "" : " · " + appSettings.printerRemedy(modelData.situation))
                    }
                }
                Repeater {
                    model: initial.usedTerminals

                    StatusLine {
                        objectName: "terminalLine"
                        label: modelData.name
                        good: appSettings.terminalReady(modelData.terminalState)
                        value: appSettings.terminalStateText(modelData.terminalState)
                               + (good ? "" : " · " + appSettings.terminalRemedy(modelData.terminalState))
                    }
                }

                Divider {
                }

                Item {
                    width: parent.width
                    height: 44

                    CommonLabelRegular {
                        id: keyLabel
                        x: 22
                        width: lines.labelWidth
                        anchors.verticalCenter: parent.verticalCenter
                        elide: Text.ElideRight
                        text: qsTr("Chave de segurança")
                        color: appSettings.subTitleColor
                        font.pixelSize: appSettings.minorFontSize
                    }
                    Row {
                        x: keyLabel.x + keyLabel.width + 12
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 12

                        // Monospaced, so that I, l and 1 cannot be taken for one another.
                        Text {
                            objectName: "securityKey"
                            anchors.verticalCenter: parent.verticalCenter
                            text: printClient.securityKey
                            textFormat: Text.PlainText
                            color: appSettings.blueBackground
                            font.family: "monospace"
                            font.pixelSize: appSettings.titleFontSize
                            font.bold: true
                            Accessible.name: qsTr("Chave de segurança") + " " + text

                            MouseArea {
                                anchors.fill: parent
                                cursorShape: Qt.PointingHandCursor
                                onClicked: initial.copyKey()
                            }
                        }
                        IconButton {
                            objectName: "copyKey"
                            anchors.verticalCenter: parent.verticalCenter
                            source: "qrc:/imgs/copy-key.png"
                            name: qsTr("Copiar a chave de segurança")
                            onClicked: initial.copyKey()
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
            }
        }

        Column {
            width: parent.width
            spacing: 2

            MainTitle {
                width: parent.width
                text: qsTr("Configuração de dispositivos")
            }
            SubTitle {
                width: parent.width
                text: qsTr("Escolha o tipo de dispositivo que pretende configurar")
                font.pixelSize: appSettings.minorFontSize
                lineHeight: 22
            }
        }

        Flow {
            id: cards
            readonly property bool sideBySide: width >= 560 && initial.terminalsShown
            width: parent.width
            spacing: 20

            Card {
                objectName: "printersCard"
                width: cards.sideBySide ? (cards.width - cards.spacing) / 2 : cards.width
                image: "qrc:/imgs/illustration-1.png"
                title: qsTr("Impressoras")
                subtitle: qsTr("Configurar impressoras no ponto de venda.")
                onClicked: initial.openPrinters()
            }
            Card {
                objectName: "terminalsCard"
                width: cards.sideBySide ? (cards.width - cards.spacing) / 2 : cards.width
                visible: initial.terminalsShown
                image: "qrc:/imgs/illustration-2.png"
                title: qsTr("Terminais de pagamento automático (TPA)")
                subtitle: qsTr("Configurar terminais no ponto de venda.")
                onClicked: initial.openTerminals()
            }
        }
    }

    Timer {
        id: copiedTimer
        interval: appSettings.copyFeedbackDuration
    }
}
