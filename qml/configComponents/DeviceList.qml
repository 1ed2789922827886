import QtQuick 2.15
import "../customComponents"

// The printer or terminal list: a row for every device found under the column headings (the
// device, its state, whether the invoicing uses it), the empty-list picture when there is none,
// the busy veil while the list is refreshed, and the buttons that go back and refresh it.
ListScreen {
    id: screen

    property var headings: []
    property alias headingsVisible: columns.visible
    property alias emptyText: empty.text
    property alias backText: backButton.text
    property alias refreshText: refreshButton.text
    property alias listName: list.objectName
    // How many rows, and the row of an index, rowWidth wide.
    property alias rowCount: rows.model
    property alias row: rows.delegate
    readonly property real rowWidth: list.width - list.barRoom - 20
    property alias busyBlocksClicks: busy.blocksClicks

    signal refresh

    panel: [
        ListHeadings {
            id: columns
            x: 28
            width: screen.rowWidth

            ColumnHeading {
                text: screen.headings[0]
            }
            ColumnHeading {
                x: parent.width / 2
                text: screen.headings[1]
            }
            ColumnHeading {
                x: parent.width * 3 / 4
                width: parent.width / 4
                wrapMode: Text.WordWrap
                text: screen.headings[2]
            }
        },
        // Every row is made (there are a handful), so the keyboard reaches each of them.
        ScrollPage {
            id: list
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: columns.bottom
            anchors.bottom: parent.bottom
            anchors.leftMargin: 18
            anchors.rightMargin: 8
            anchors.bottomMargin: 4
            spacing: 0

            Repeater {
                id: rows
            }
        },
        EmptyNote {
            id: empty
            anchors.centerIn: list
            room: list.height
            visible: rows.count === 0
        },
        BusyOverlay {
            id: busy
            anchors.fill: parent
            radius: 8
            visible: printClient.fetching
        }
    ]

    buttons: [
        CustomButton {
            id: backButton
            objectName: "backButton"
            onClicked: screen.back()
        },
        CustomButton {
            id: refreshButton
            objectName: "refreshButton"
            primary: true
            onClicked: screen.refresh()
        }
    ]
}
