import QtQuick 2.15

// The line of column headings at the top of a list, with a divider under it; the headings, each
// a ColumnHeading at its column's x, are its children.
Item {
    height: 48

    Divider {
        anchors.bottom: parent.bottom
    }
}
