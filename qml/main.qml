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
    }

    function bringForward() {
        window.show()
        window.raise()
        window.requestActivate()
    }

    function showAbout() {
        const about = Qt.createComponent("qrc:/customComponents/OverlayAbout.qml").createObject(window.contentItem)
        about.openLog.connect(function () {
            window.navigate("logs")
        })
    }

    width: DISPLAY_WIDTH
    height: DISPLAY_HEIGHT
    minimumWidth: DISPLAY_WIDTH
    maximumWidth: DISPLAY_WIDTH
    minimumHeight: DISPLAY_HEIGHT
    maximumHeight: DISPLAY_HEIGHT
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

    component FooterLink: CommonLabelRegular {
        id: link

        signal clicked

        color: mouse.containsMouse ? appSettings.blueBackground : appSettings.listColor
        font.pixelSize: appSettings.minorFontSize

        MouseArea {
            id: mouse
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: link.clicked()
        }
    }

    component FooterSeparator: Rectangle {
        width: 1
        height: 16
        color: appSettings.scrollbarColor
    }

    Rectangle {
        id: header
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: 80
        visible: stage.state !== "loading"
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
        state: window.screenState

        Initial {
            id: initialScreen
            objectName: "initialScreen"
            anchors.fill: parent
            opacity: 0
            visible: opacity > 0
            onOpenPrinters: window.navigate("config")
            onOpenTerminals: window.navigate("terminals")
        }
        Config {
            id: configScreen
            objectName: "configScreen"
            anchors.fill: parent
            opacity: 0
            visible: opacity > 0
            onBack: window.navigate("allSet")
        }
        Terminals {
            id: terminalsScreen
            objectName: "terminalsScreen"
            anchors.fill: parent
            opacity: 0
            visible: opacity > 0
            onBack: window.navigate("allSet")
        }
        Logs {
            id: logsScreen
            objectName: "logsScreen"
            anchors.fill: parent
            opacity: 0
            visible: opacity > 0
            onBack: window.navigate("allSet")
        }

        states: [
            State {
                name: "loading"
                PropertyChanges {
                    target: splash
                    opacity: 1
                }
            },
            State {
                name: "allSet"
                PropertyChanges {
                    target: initialScreen
                    opacity: 1
                }
            },
            State {
                name: "config"
                PropertyChanges {
                    target: configScreen
                    opacity: 1
                }
            },
            State {
                name: "terminals"
                PropertyChanges {
                    target: terminalsScreen
                    opacity: 1
                }
            },
            State {
                name: "logs"
                PropertyChanges {
                    target: logsScreen
                    opacity: 1
                }
            }
        ]

        transitions: Transition {
            NumberAnimation {
                property: "opacity"
                duration: 200
                easing.type: Easing.InOutQuad
            }
        }
    }

    Rectangle {
        id: footer
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: visible ? 40 : 0
        visible: stage.state !== "loading"
        color: appSettings.white

        Row {
            anchors.left: parent.left
            anchors.leftMargin: 40
            anchors.verticalCenter: parent.verticalCenter

            FooterLink {
                objectName: "linkHome"
                text: qsTr("Varnel") + " " + RELEASENAME
                textFormat: Text.PlainText
                onClicked: window.navigate("allSet")
            }
        }

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 40
            anchors.verticalCenter: parent.verticalCenter
            spacing: 24

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
                visible: printClient.isDebugMode
                text: qsTr("Registo")
                onClicked: window.navigate("logs")
            }
            FooterSeparator {
                anchors.verticalCenter: parent.verticalCenter
                visible: printClient.isDebugMode
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
        opacity: 0
        visible: opacity > 0
        color: appSettings.blueBackground

        Column {
            anchors.centerIn: parent
            anchors.verticalCenterOffset: -30
            spacing: 40

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
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
            anchors.bottomMargin: 40
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
