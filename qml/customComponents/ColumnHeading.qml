import QtQuick 2.15

CommonLabelMedium {
    anchors.verticalCenter: parent.verticalCenter
    color: appSettings.listColor
    font.pixelSize: appSettings.minorFontSize
}
