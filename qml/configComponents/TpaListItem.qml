import QtQuick 2.15
import "../customComponents"

// One payment terminal: its name and the switch that offers it to the API.
Item {
    id: row

    property QtObject tpa

    height: 40

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

    Item {
        x: parent.width / 2
        width: parent.width / 4
        height: parent.height

        Rectangle {
            objectName: "stateBadge"
            anchors.verticalCenter: parent.verticalCenter
            // Wide enough for the text in every language.
            width: Math.max(100, stateLabel.implicitWidth + 24)
            height: 28
            radius: 14
            color: "#C8F2E5"

            CommonLabelMedium {
                id: stateLabel
                anchors.fill: parent
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                lineHeightMode: Text.ProportionalHeight
                lineHeight: 1
                text: qsTr("Ligado")
                color: "#0D513C"
                font.pixelSize: 12
            }
        }
    }

    Row {
        x: parent.width * 3 / 4
        anchors.verticalCenter: parent.verticalCenter
        spacing: 12

        CustomSwitch {
            objectName: "availableSwitch"
            anchors.verticalCenter: parent.verticalCenter
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
