import QtQuick 2.15
import QtQuick.Controls 2.15

// Thin bar on the right of a list, shown whenever the list is longer than its view.
ScrollIndicator {
    id: indicator

    property Flickable list

    active: true
    visible: list && list.contentHeight > list.height
    contentItem: Rectangle {
        implicitWidth: 4
        implicitHeight: 4
        radius: 2
        color: appSettings.scrollbarColor
    }
}
