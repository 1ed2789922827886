import QtQuick 2.15

Text {
    font.family: appSettings.fontRegular
    font.weight: Font.Normal
    lineHeightMode: Text.FixedHeight
    lineHeight: 22
}
