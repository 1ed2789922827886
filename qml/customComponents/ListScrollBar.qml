import QtQuick 2.15
import QtQuick.Controls 2.15

// Scroll bar on the right of a list, with its track drawn, shown whenever the list is longer
// than its view so that the rows below are never a surprise.
ScrollBar {
    id: bar

    property Flickable list

    policy: ScrollBar.AlwaysOn
    visible: list && list.contentHeight > list.height
    contentItem: Rectangle {
        implicitWidth: 6
        implicitHeight: 24
        radius: 3
        color: bar.pressed ? appSettings.subTitleColor : appSettings.listColor
    }
    background: Rectangle {
        implicitWidth: 6
        radius: 3
        color: appSettings.greyBackground
        border.width: 1
        border.color: appSettings.shadowInside
    }
}
