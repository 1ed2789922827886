import QtQuick 2.15

Text {
    font.family: appSettings.fontMedium
    font.weight: Font.Medium
    font.pixelSize: appSettings.titleFontSize
    lineHeightMode: Text.FixedHeight
    lineHeight: 27
    color: appSettings.titleColor
    wrapMode: Text.WordWrap
}
