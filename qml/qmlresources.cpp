#include "qmlresources.h"

#include <QtGlobal>

void initQmlResources()
{
    Q_INIT_RESOURCE(qml);
}
