import QtQuick 2.15

// White veil with the busy sprite, shown over a list while it is being refreshed.
Rectangle {
    id: overlay

    // Whether clicks on the veil are kept from the rows beneath it.
    property bool blocksClicks: false

    color: appSettings.backgroundBusyIndicator

    AnimatedSprite {
        anchors.centerIn: parent
        source: "qrc:/imgs/busy_indicator.png"
        frameCount: 12
        frameWidth: 64
        frameHeight: 64
        frameRate: 30
        loops: AnimatedSprite.Infinite
        running: overlay.visible
    }

    MouseArea {
        anchors.fill: parent
        enabled: overlay.blocksClicks
        hoverEnabled: overlay.blocksClicks
    }
}
