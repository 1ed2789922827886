import QtQuick 2.15
// Never shown: the import makes the deployment tools, which scan the QML sources for imports,
// bundle Qt Quick Controls 1 with the program.
import QtQuick.Controls 1.4

Item {
}
