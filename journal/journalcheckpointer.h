#pragma once

#include <QString>

#include <atomic>

class QObject;
class QThread;

// Copies the journal's write-ahead log into its file on a thread and a connection of its own, so
// that no caller of the journal waits for the syncs a checkpoint makes: the journal's other
// connections go on appending to the log meanwhile (a passive checkpoint takes no writer's lock).
class JournalCheckpointer
{
public:
    explicit JournalCheckpointer(const QString &path);
    ~JournalCheckpointer();
    JournalCheckpointer(const JournalCheckpointer &) = delete;
    JournalCheckpointer &operator=(const JournalCheckpointer &) = delete;

    // Returns at once; asks made while a checkpoint waits to start make that one.
    void ask();

private:
    QThread *m_thread;
    QObject *m_context;
    QString m_connection;
    std::atomic_bool m_asked { false };
};
