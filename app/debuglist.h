#pragma once

#include <QObject>
#include <QString>

class PrintClient;

// Takes the log's lines from any thread and puts each at the front of the controller's debug
// list on the controller's own thread, one at a time, so that the list needs no lock of its own.
class DebugList : public QObject
{
    Q_OBJECT

public:
    // Lines kept in the list.
    static constexpr int maxLines = 100;

    // Lives on the controller's thread, as its child.
    explicit DebugList(PrintClient *client);

    // Safe from any thread; the line reaches the list once the controller's thread gets to it.
    void append(const QString &line);

private:
    PrintClient *m_client;
};
