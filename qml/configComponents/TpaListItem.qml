import QtQuick 2.15
import Tpa 1.0
import "../customComponents"

// One payment terminal: its name, its state as its worker knows it, and the switch that offers it
// to the API.
Item {
    id: row

    property QtObject tpa
    readonly property int terminalState: row.tpa ? row.tpa.terminalState : Tpa.Offline

    height: 44

    CommonLabelRegular {
        objectName: "tpaName"
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width / 2 - 16
        text: row.tpa ? row.tpa.name : ""
        textFormat: Text.PlainText
        elide: Text.ElideRight
        color: appSettings.titleColor
        font.pixelSize: appSettings.minorFontSize
    }

    Rectangle {
        objectName: "stateBadge"
        x: parent.width / 2
        anchors.verticalCenter: parent.verticalCenter
        // Wide enough for the text in every language.
        width: Math.max(100, stateLabel.implicitWidth + 24)
        height: 28
        radius: 14
        color: row.terminalState === Tpa.Ready ? "#C8F2E5" : row.terminalState === Tpa.Busy ? "#FFF0C2" : "#FFD9D9"

        CommonLabelMedium {
            id: stateLabel
            objectName: "stateText"
            anchors.fill: parent
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            lineHeightMode: Text.ProportionalHeight
            lineHeight: 1
            text: appSettings.terminalStateText(row.terminalState)
            color: row.terminalState === Tpa.Ready ? "#0D513C" : row.terminalState === Tpa.Busy ? "#5C4300" : "#662A2A"
            font.pixelSize: 12
        }
    }

    Row {
        x: parent.width * 3 / 4
        anchors.verticalCenter: parent.verticalCenter
        spacing: 12

        CustomSwitch {
            objectName: "availableSwitch"
            anchors.verticalCenter: parent.verticalCenter
            name: qsTr("Usar %1 na faturação").arg(row.tpa ? row.tpa.name : "")
            onToggled: row.tpa.available = checked

            Binding on checked {
                value: row.tpa ? row.tpa.available : false
            }
        }
        CommonLabelRegular {
            objectName: "availableLabel"
            anchors.verticalCenter: parent.verticalCenter
            text: row.tpa && row.tpa.available ? qsTr("Ativo") : qsTr("Inativo")
            color: appSettings.subTitleColor
            font.pixelSize: appSettings.minorFontSize
        }
    }
}
