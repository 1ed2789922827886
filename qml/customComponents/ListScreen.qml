import QtQuick 2.15

// A screen with a list: its title and subtitle, a panel under them for the list, and the screen's
// buttons at the bottom right. The margins are narrower on small windows.
Item {
    id: screen

    property alias title: titleText.text
    property alias subtitle: subtitleText.text
    property alias panel: panel.content
    property alias buttons: buttonRow.data
    readonly property alias buttonRow: buttonRow
    // Room between the panel and the buttons, for a line of the screen's own there.
    property real panelBottomMargin: gap
    readonly property int margin: width < 800 ? 24 : 40
    readonly property int gap: height < 420 ? 12 : 20

    signal back

    Rectangle {
        anchors.fill: parent
        color: appSettings.greyBackground
    }

    Column {
        id: heading
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: screen.margin
        anchors.topMargin: screen.gap + 4
        spacing: 2

        MainTitle {
            id: titleText
            width: parent.width
        }
        SubTitle {
            id: subtitleText
            width: parent.width
        }
    }

    RectangleShadow {
        id: panel
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: heading.bottom
        anchors.bottom: buttonRow.top
        anchors.leftMargin: screen.margin
        anchors.rightMargin: screen.margin
        anchors.topMargin: screen.gap
        anchors.bottomMargin: screen.panelBottomMargin
    }

    Row {
        id: buttonRow
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: screen.margin
        anchors.bottomMargin: screen.gap
        spacing: 16
    }
}
