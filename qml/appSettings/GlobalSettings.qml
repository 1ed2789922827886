import QtQuick 2.15

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
    readonly property color onText: "#158361"
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
