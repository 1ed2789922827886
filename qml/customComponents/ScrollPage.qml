import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15

// Content that scrolls when the window is too small for it, with its scroll bar, and that brings
// the control given the keyboard focus into view. Children are laid out in one column.
Flickable {
    id: page

    default property alias content: body.data
    property alias spacing: body.spacing
    // Room kept free at the right for the scroll bar.
    readonly property real barRoom: bar.visible ? 16 : 0

    function reveal(item) {
        const top = item.mapToItem(page.contentItem, 0, 0).y - 12
        const bottom = top + item.height + 24
        if (top < page.contentY)
            page.contentY = Math.max(0, top)
        else if (bottom > page.contentY + page.height)
            page.contentY = Math.max(0, Math.min(page.contentHeight - page.height, bottom - page.height))
    }

    clip: true
    boundsBehavior: Flickable.StopAtBounds
    contentWidth: width
    contentHeight: body.height

    // Room around the column for the panels' glow, which the clipping would cut.
    Column {
        id: body
        x: 10
        width: page.width - page.barRoom - 20
        topPadding: 10
        bottomPadding: 16
    }

    ScrollBar.vertical: ListScrollBar {
        id: bar
        list: page
    }

    Connections {
        target: page.Window.window
        function onActiveFocusItemChanged() {
            const focused = page.Window.window.activeFocusItem
            for (let up = focused; up && page.visible; up = up.parent) {
                if (up === page.contentItem) {
                    page.reveal(focused)
                    return
                }
            }
        }
    }
}
