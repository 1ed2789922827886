import QtQuick 2.15
import QtQuick.Window 2.15

Window {
    visible: true
    width: DISPLAY_WIDTH
    height: DISPLAY_HEIGHT
    title: "Varnel"
}
