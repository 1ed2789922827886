#include "debuglist.h"

#include "printclient.h"

#include <QMetaObject>

DebugList::DebugList(PrintClient *client)
    : QObject(client)
    , m_client(client)
{
}

void DebugList::append(const QString &line)
{
    // Queued also on the controller's thread: a line logged while the list is being shown
    // waits for its turn instead of changing the list underneath.
    QMetaObject::invokeMethod(
        this,
        [this, line] {
            QStringList lines = m_client->debugMessages();
            lines.prepend(line);
            while (lines.size() > maxLines)
                lines.removeLast();
            m_client->setDebugMessages(lines);
        },
        Qt::QueuedConnection);
}
