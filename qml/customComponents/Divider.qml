import QtQuick 2.15

Rectangle {
    objectName: "divider"
    width: parent.width
    height: 1
    color: appSettings.dividerColor
}
