import QtQuick 2.15
import Printer 1.0
import Tpa 1.0

// Colours, sizes, fonts and external pages shared by every screen; the window holds the one
// instance as appSettings.
Item {
    visible: false

    readonly property int titleFontSize: 18
    readonly property int subTitleFontSize: 16
    readonly property int minorFontSize: 14

    // Every text colour reads at 4.5:1 or more on the backgrounds it is used on (white, the grey
    // screen background, the hover blue).
    readonly property color titleColor: "#303A4D"
    readonly property color subTitleColor: "#5B6E88"
    readonly property color greyBackground: "#F5F7F9"
    readonly property color blueBackground: "#0070D2"
    readonly property color lightColor: "#BFE0FC"
    readonly property color white: "#FFFFFF"
    readonly property color buttonConfirm: "#0070D2"
    readonly property color btnSwitch: "#64B0F2"
    readonly property color btnSwitch2: "#BCE283"
    readonly property color btnSwitch3: "#e6e6e6"
    readonly property color btnSwitch4: "#21CB97"
    // The switches' green is too light for text: "on" labels use a darker green.
    readonly property color onText: "#127A5A"
    // Lines and shapes that carry meaning reach 3:1 against white and the grey background: switch
    // tracks, the keyboard focus ring and dividers.
    readonly property color switchOn: "#169B73"
    readonly property color switchOff: "#7D8CA3"
    readonly property color focusColor: "#0070D2"
    readonly property color dividerColor: "#7D8CA3"
    // What needs doing, and all well.
    readonly property color warningBackground: "#FFF4D6"
    readonly property color warningBorder: "#B7791F"
    readonly property color warningText: "#5C4300"
    readonly property color calmBackground: "#E3F6EE"
    readonly property color calmText: "#0D513C"
    readonly property color problemText: "#8A2B2B"
    readonly property color scrollbarColor: "#C5CDDB"
    readonly property color shadowOutside: "#8c8c8c"
    readonly property color shadowInside: "#ced4e0"
    readonly property color backgroundBusyIndicator: Qt.rgba(1, 1, 1, 0.7)
    readonly property color noResultsColor: "#5F74A1"
    readonly property color listColor: "#5C7096"
    readonly property color newVersion: "#61759B"
    readonly property color btnHoverOn: "#F0F7FE"
    readonly property color btnHoverOff: "#FFFFFF"

    // The three faces share the family name "Poppins" and differ by weight. They are always taken
    // from the resources so the screens look the same whether or not the system has them.
    readonly property string fontRegular: regularFont.name
    readonly property string fontMedium: mediumFont.name
    readonly property string fontLight: lightFont.name

    // How long "Copiado!" stays after a copy; writable so tests need not wait the full time.
    property int copyFeedbackDuration: 3000

    // A printer's situation that needs someone at the printer, and what to do about it.
    function printerReady(situation) {
        return situation === PrinterStatus.Ready || situation === PrinterStatus.Busy
    }
    function printerRemedy(situation) {
        switch (situation) {
        case PrinterStatus.OutOfPaper:
            return qsTr("Coloque um rolo de papel novo.")
        case PrinterStatus.CoverOpen:
            return qsTr("Feche a tampa da impressora.")
        case PrinterStatus.Error:
            return qsTr("Desligue e volte a ligar a impressora.")
        case PrinterStatus.Paused:
            return qsTr("Retome-a nas definições de impressão do sistema.")
        case PrinterStatus.Offline:
            return qsTr("Ligue a impressora e verifique o cabo.")
        }
        return ""
    }

    // A payment terminal's state in words, and what to do when it does not answer.
    function terminalStateText(state) {
        switch (state) {
        case Tpa.Ready:
            return qsTr("Pronto")
        case Tpa.Busy:
            return qsTr("Ocupado")
        case Tpa.NotAnswering:
            return qsTr("Sem resposta")
        }
        return qsTr("Desligado")
    }
    function terminalReady(state) {
        return state === Tpa.Ready || state === Tpa.Busy
    }
    function terminalRemedy(state) {
        if (state === Tpa.NotAnswering)
            return qsTr("Verifique se o terminal está ligado.")
        return state === Tpa.Offline ? qsTr("Ligue o cabo do terminal a este computador.") : ""
    }

    // "Sem papel" as it reads after a name: "Cozinha: sem papel".
    function afterName(name, state) {
        return name + ": " + state.charAt(0).toLocaleLowerCase() + state.slice(1)
    }

    function downloadPage(language) {
        if (language === "pt")
            return "https://www.tesmar.pt/varnel/download"
        if (language === "es")
            return "https://www.tesmar.pt/es/varnel/descargas"
        return "https://www.tesmar.pt/en/varnel/download"
    }

    function helpPage(language) {
        return language === "es" ? "https://www.tesmar.pt/es/ayuda" : "https://www.tesmar.pt/ajuda"
    }

    function supportPage(language) {
        return language === "es" ? "https://www.tesmar.pt/es/contacto" : "https://www.tesmar.pt/contactos"
    }

    FontLoader {
        id: regularFont
        source: "qrc:/resources/Poppins-Regular.ttf"
    }
    FontLoader {
        id: mediumFont
        source: "qrc:/resources/Poppins-Medium.ttf"
    }
    FontLoader {
        id: lightFont
        source: "qrc:/resources/Poppins-Light.ttf"
    }
}
