import QtQuick 2.15

Text {
    font.family: appSettings.fontRegular
    font.weight: Font.Normal
    font.pixelSize: appSettings.subTitleFontSize
    lineHeightMode: Text.FixedHeight
    lineHeight: 25
    color: appSettings.subTitleColor
    wrapMode: Text.WordWrap
}
