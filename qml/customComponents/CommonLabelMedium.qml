import QtQuick 2.15

Text {
    font.family: appSettings.fontMedium
    font.weight: Font.Medium
    lineHeightMode: Text.FixedHeight
    lineHeight: 22
}
