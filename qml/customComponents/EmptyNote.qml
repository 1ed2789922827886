import QtQuick 2.15

// What stands in the middle of a list that has no rows: the empty-list picture, smaller and then
// left out where the list (`room` high) is low, above a line of text.
Column {
    property real room
    property alias text: label.text

    spacing: 12

    Image {
        anchors.horizontalCenter: parent.horizontalCenter
        height: Math.min(140, room - 60)
        visible: height >= 48
        fillMode: Image.PreserveAspectFit
        source: "qrc:/imgs/no-data-graphic.png"
    }
    CommonLabelRegular {
        id: label
        anchors.horizontalCenter: parent.horizontalCenter
        color: appSettings.noResultsColor
        font.pixelSize: appSettings.minorFontSize
    }
}
