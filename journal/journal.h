#pragma once

#include "journalstore.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QWaitCondition>

#include <type_traits>
#include <utility>

class JournalCheckpointer;
class QThread;

// The journal for the whole program, callable from any thread: run() hands a call on the store
// to the journal's own thread, where its SQLite connection lives (Qt SQL connections belong to
// the thread that opened them), and returns once that thread has made it, so a write is committed
// when run() returns. That thread's queue is the store's lock. Request ids being acted on are
// held in memory as well, so that a second request with the same id waits for the first one's
// reply instead of acting too.
class Journal : public QObject
{
    Q_OBJECT

public:
    explicit Journal(const QString &path, const JournalLimits &limits = JournalLimits(),
        JournalStore::Clock clock = JournalStore::Clock(), QObject *parent = nullptr);
    ~Journal() override;

    // $XDG_DATA_HOME/varnel/journal.sqlite
    static QString defaultPath();

    // Runs f(JournalStore &) on the journal's thread and returns its value. A pruning that has
    // become due follows on that thread, after the caller has its value.
    template<typename F> auto run(F f) -> decltype(f(std::declval<JournalStore &>()));

    bool isAvailable() const;
    QString problem() const;

    enum class Claim {
        New, // the caller acts, then settles
        Repeat, // done before: reply holds the first reply
        Conflict, // the id was used for another request
        Interrupted, // pending since a run that ended before replying: the caller finds out, then settles
        Unavailable,
    };
    Claim claim(
        const QString &route, const QString &requestId, const QByteArray &fingerprint, QByteArray *reply);
    // Stores the reply of a claim that was New or Interrupted, and lets waiting repeats have it.
    bool settle(const QString &route, const QString &requestId, const QByteArray &reply);

signals:
    // Emitted on the journal's thread when a write first fails.
    void becameUnavailable(const QString &problem);

private:
    // After each call, on the journal's thread: says a new failure, queues a due pruning.
    void called(bool wasAvailable);

    QThread *m_thread;
    QObject *m_context;
    JournalStore *m_store = nullptr; // used on m_thread only
    JournalCheckpointer *m_checkpointer = nullptr; // asked on m_thread only
    bool m_pruneQueued = false; // used on m_thread only
    // Request ids claimed and not yet settled, as "route\nid".
    QMutex m_claimLock;
    QWaitCondition m_settled;
    QSet<QString> m_acting; // guarded by m_claimLock
};

template<typename F> auto Journal::run(F f) -> decltype(f(std::declval<JournalStore &>()))
{
    using Result = decltype(f(std::declval<JournalStore &>()));
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(
            m_context,
            [&] {
                const bool wasAvailable = m_store->isAvailable();
                f(*m_store);
                called(wasAvailable);
            },
            Qt::BlockingQueuedConnection);
    } else {
        Result result {};
        QMetaObject::invokeMethod(
            m_context,
            [&] {
                const bool wasAvailable = m_store->isAvailable();
                result = f(*m_store);
                called(wasAvailable);
            },
            Qt::BlockingQueuedConnection);
        return result;
    }
}
