import QtQuick 2.15

Text {
    font.family: appSettings.fontLight
    font.weight: Font.Light
    lineHeightMode: Text.FixedHeight
    lineHeight: 22
}
