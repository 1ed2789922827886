import QtQuick 2.15
import QtGraphicalEffects 1.0

// A white panel with curved corners and a soft glow around it; children go inside the panel.
Item {
    id: panel

    property alias color: inner.color
    default property alias content: inner.data

    RectangularGlow {
        anchors.fill: inner
        glowRadius: 8
        cornerRadius: 8
        spread: 0.1
        color: appSettings.shadowInside
    }

    Rectangle {
        id: inner
        anchors.fill: parent
        radius: 8
        color: appSettings.white
    }
}
