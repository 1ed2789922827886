import QtQuick 2.15
import QtQuick.Window 2.15
import Qt.labs.platform 1.1 as Platform
import "appSettings"
import "customComponents"

Window {
    id: window
    objectName: "mainWindow"

    // Until the user's first navigation the screen follows the controller; from then on only
    // navigation moves it, so "Mais tarde" holds although hasUpdate stays true.
    property bool navigated: false
    property string chosenScreen: "allSet"
    readonly property string screenState: navigated ? chosenScreen
                                                    : (printClient.started && !printClient.hasUpdate ? "allSet" : "loading")

    function navigate(to) {
        chosenScreen = to
        navigated = true
        // Tab starts again from the top of the new screen.
        stage.forceActiveFocus()
    }

    // Esc, wherever the focus is, goes back to the start screen.
    function goBack() {
        if (screenState !== "loading" && screenState !== "allSet")
            window.navigate("allSet")
    }

    function bringForward() {
        window.show()
        window.raise()
        window.requestActivate()
    }

    // A layer over the window (the about panel, a receipt preview) that takes the keyboard while
    // it is open, the controls beneath it out of reach, and gives the keyboard back to the control
    // that opened it.
    property Item overlay: null

    function openOverlay(url, properties) {
        const opener = window.activeFocusItem
        overlay = Qt.createComponent(url).createObject(window.contentItem, properties || {})
        overlay.Component.destruction.connect(function () {
            Qt.callLater(function () {
                if (opener && opener.visible && opener.enabled)
                    opener.forceActiveFocus()
                else
                    stage.forceActiveFocus()
            })
        })
        overlay.forceActiveFocus()
        return overlay
    }

    function showAbout() {
        const about = openOverlay("qrc:/customComponents/OverlayAbout.qml")
        about.openLog.connect(function () {
            window.navigate("logs")
        })
    }

    // The size the screen has room for (set by the program from the screen), down to a minimum
    // below which the screens would no longer make sense; their content scrolls.
    width: DISPLAY_WIDTH
    height: DISPLAY_HEIGHT
    minimumWidth: Math.min(640, DISPLAY_WIDTH)
    minimumHeight: Math.min(440, DISPLAY_HEIGHT)
    title: qsTr("Varnel")
    color: appSettings.blueBackground
    // With a key already stored the program starts in the tray. Without a tray (stock GNOME) it
    // starts shown and closing only minimises it, so that it can always be found again.
    visible: false

    Component.onCompleted: {
        if (printClient.firstStartup || !tray.available)
            window.show()
    }

    // Closing never ends the program: it lives on in the tray, or in the task bar without one.
    onClosing: function (close) {
        close.accepted = false
        if (tray.available)
            window.hide()
        else
            window.showMinimized()
    }

    Connections {
        target: printClient

        function onShowWindow() {
            window.bringForward()
        }

        function onMessageChanged() {
            if (tray.available)
                tray.showMessage(qsTr("Varnel"), printClient.message)
        }
    }

    GlobalSettings {
        id: appSettings
        objectName: "appSettings"
    }

    Platform.SystemTrayIcon {
        id: tray
        objectName: "tray"
        visible: true
        icon.source: printClient.serverActive ? "qrc:/imgs/ic_systray_on.png" : "qrc:/imgs/ic_systray_off.png"
        tooltip: qsTr("Varnel")
        // A right click opens the menu; it does not also bring the window up.
        onActivated: function (reason) {
            if (reason !== Platform.SystemTrayIcon.Context)
                window.bringForward()
        }
        onMessageClicked: window.bringForward()

        menu: Platform.Menu {
            Platform.MenuItem {
                text: qsTr("Abrir")
                onTriggered: window.bringForward()
            }
            Platform.MenuItem {
                text: printClient.serverActive ? qsTr("Desligar serviço") : qsTr("Ligar serviço")
                onTriggered: printClient.serverActive = !printClient.serverActive
            }
            Platform.MenuItem {
                text: qsTr("Sair")
                onTriggered: Qt.quit()
            }
        }
    }

    // A screen shows in the window's state of its name, fading in as the one before fades out.
    component Fade: Behavior {
        NumberAnimation {
            duration: 200
            easing.type: Easing.InOutQuad
        }
    }

    component FooterLink: LinkText {
        color: hovered ? appSettings.blueBackground : appSettings.listColor
        font.family: appSettings.fontRegular
        font.weight: Font.Normal
        font.underline: false
    }

    component FooterSeparator: Rectangle {
        objectName: "divider"
        width: 1
        height: 16
        color: appSettings.dividerColor
    }

    Rectangle {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        // Lower on short screens, where every line counts.
        height: window.height < 600 ? 52 : 80
        visible: window.screenState !== "loading"
        color: appSettings.blueBackground

        Image {
            anchors.centerIn: parent
            source: "qrc:/imgs/vrl-icon-top.png"
        }
    }

    Item {
        id: stage
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: header.bottom
        anchors.bottom: footer.top
        // Holds the keyboard when no control has it.
        focus: true
        enabled: window.overlay === null
        Keys.onEscapePressed: window.goBack()

        Initial {
            objectName: "initialScreen"
            anchors.fill: parent
            opacity: window.screenState === "allSet" ? 1 : 0
            visible: opacity > 0
            onOpenPrinters: window.navigate("config")
            onOpenTerminals: window.navigate("terminals")

            Fade on opacity {
            }
        }
        Config {
            objectName: "configScreen"
            anchors.fill: parent
            opacity: window.screenState === "config" ? 1 : 0
            visible: opacity > 0
            onBack: window.navigate("allSet")

            Fade on opacity {
            }
        }
        Terminals {
            objectName: "terminalsScreen"
            anchors.fill: parent
            opacity: window.screenState === "terminals" ? 1 : 0
            visible: opacity > 0
            onBack: window.navigate("allSet")

            Fade on opacity {
            }
        }
        History {
            objectName: "historyScreen"
            anchors.fill: parent
            opacity: window.screenState === "history" ? 1 : 0
            visible: opacity > 0
            onBack: window.navigate("allSet")

            Fade on opacity {
            }
        }
        Logs {
            objectName: "logsScreen"
            anchors.fill: parent
            opacity: window.screenState === "logs" ? 1 : 0
            visible: opacity > 0
            onBack: window.navigate("allSet")

            Fade on opacity {
            }
        }
    }

    Rectangle {
        id: footer
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: visible ? 40 : 0
        visible: window.screenState !== "loading"
        color: appSettings.white
        enabled: window.overlay === null
        Keys.onEscapePressed: window.goBack()

        readonly property int margin: width < 800 ? 24 : 40

        FooterLink {
            objectName: "linkHome"
            anchors.left: parent.left
            anchors.leftMargin: footer.margin
            anchors.verticalCenter: parent.verticalCenter
            // Only where it does not crowd the links; Esc and "Voltar" lead home as well.
            visible: links.x - footer.margin - 24 >= implicitWidth
            text: qsTr("Varnel") + " " + RELEASENAME
            textFormat: Text.PlainText
            onClicked: window.navigate("allSet")
        }

        Row {
            id: links
            anchors.right: parent.right
            anchors.rightMargin: footer.margin
            anchors.verticalCenter: parent.verticalCenter
            spacing: footer.width < 800 ? 14 : 24

            FooterLink {
                objectName: "linkHistory"
                text: qsTr("Histórico")
                onClicked: window.navigate("history")
            }
            FooterSeparator {
                anchors.verticalCenter: parent.verticalCenter
            }
            FooterLink {
                objectName: "linkDownloads"
                text: qsTr("Transferências")
                onClicked: Qt.openUrlExternally(appSettings.downloadPage(printClient.language))
            }
            FooterSeparator {
                anchors.verticalCenter: parent.verticalCenter
            }
            FooterLink {
                objectName: "linkHelp"
                text: qsTr("Ajuda")
                onClicked: Qt.openUrlExternally(appSettings.helpPage(printClient.language))
            }
            FooterSeparator {
                anchors.verticalCenter: parent.verticalCenter
            }
            FooterLink {
                objectName: "linkSupport"
                text: qsTr("Apoio ao cliente")
                onClicked: Qt.openUrlExternally(appSettings.supportPage(printClient.language))
            }
            FooterSeparator {
                anchors.verticalCenter: parent.verticalCenter
            }
            FooterLink {
                objectName: "linkLogs"
                text: qsTr("Registo")
                onClicked: window.navigate("logs")
            }
            FooterSeparator {
                anchors.verticalCenter: parent.verticalCenter
            }
            FooterLink {
                objectName: "linkAbout"
                text: qsTr("Sobre")
                onClicked: window.showAbout()
            }
        }
    }

    Rectangle {
        id: splash
        objectName: "splash"
        anchors.fill: parent
        opacity: window.screenState === "loading" ? 1 : 0
        visible: opacity > 0
        color: appSettings.blueBackground

        Fade on opacity {
        }

        Column {
            id: splashContent
            readonly property bool compact: splash.height < 600
            anchors.centerIn: parent
            anchors.verticalCenterOffset: compact ? 0 : -30
            spacing: compact ? 20 : 40

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                height: splashContent.compact ? 100 : 160
                fillMode: Image.PreserveAspectFit
                mipmap: true
                source: "qrc:/imgs/vrl-icon-splashscreen.png"
            }

            AnimatedSprite {
                objectName: "splashBusy"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: !printClient.hasUpdate
                width: 64
                height: 64
                source: "qrc:/imgs/busy_indicator_white.png"
                frameCount: 12
                frameWidth: 64
                frameHeight: 64
                frameRate: 30
                loops: AnimatedSprite.Infinite
                running: !printClient.hasUpdate && splash.visible
            }

            Rectangle {
                objectName: "updatePrompt"
                anchors.horizontalCenter: parent.horizontalCenter
                visible: printClient.hasUpdate
                width: 496
                height: 181
                radius: 8
                color: appSettings.white

                Image {
                    id: updateIllustration
                    anchors.left: parent.left
                    anchors.leftMargin: 16
                    anchors.verticalCenter: parent.verticalCenter
                    source: "qrc:/imgs/illustration-3.png"
                }

                Column {
                    anchors.left: updateIllustration.right
                    anchors.right: parent.right
                    anchors.leftMargin: 8
                    anchors.rightMargin: 20
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 6

                    MainTitle {
                        width: parent.width
                        text: qsTr("Atualização disponível!")
                    }
                    SubTitle {
                        width: parent.width
                        text: qsTr("Está disponível uma nova versão do Varnel para descarregar.")
                        font.pixelSize: appSettings.minorFontSize
                        lineHeight: 20
                    }
                    Row {
                        topPadding: 8
                        spacing: 12

                        CustomButton {
                            objectName: "laterButton"
                            width: 128
                            text: qsTr("Mais tarde")
                            onClicked: window.navigate("allSet")
                        }
                        CustomButton {
                            objectName: "updateButton"
                            width: 128
                            primary: true
                            text: qsTr("Atualizar")
                            onClicked: Qt.openUrlExternally(appSettings.downloadPage(printClient.language))
                        }
                    }
                }
            }
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: splashContent.compact ? 20 : 40
            // Left out where it would meet the update prompt.
            visible: splashContent.y + splashContent.height + 16 <= y
            spacing: 6

            CommonLabelRegular {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Desenvolvido por")
                color: appSettings.white
                font.pixelSize: 12
            }
            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                height: 30
                fillMode: Image.PreserveAspectFit
                source: "qrc:/imgs/vrl-logo-white.png"
            }
        }
    }
}
