#pragma once

#include "journalstore.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QWaitCondition>

#include <type_traits>
#include <utility>

class JournalCheckpointer;
class QThread;

// The journal for the whole program, callable from any thread: run() makes a call on the calling
// thread's own store (Qt SQL connections belong to the thread that opened them), one call at a
// time across all threads, and returns once it is made, so a write is committed when run()
// returns. The caller's thread does the work itself: a hop to another thread would make every
// write wait for that thread to be scheduled, which on a busy till takes longer than the write.
// A thread of the journal's own sets the file up and prunes it. Request ids being acted on are held
// in memory as well, so that a second request with the same id waits for the first one's reply
// instead of acting too.
class Journal : public QObject
{
    Q_OBJECT

public:
    explicit Journal(const QString &path, const JournalLimits &limits = JournalLimits(),
        JournalStore::Clock clock = JournalStore::Clock(), QObject *parent = nullptr);
    ~Journal() override;

    // $XDG_DATA_HOME/varnel/journal.sqlite
    static QString defaultPath();

    // Runs f(JournalStore &) on this thread's store and returns its value. A pruning that has
    // become due follows on the journal's thread, after the caller has its value.
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
    // Emitted on the calling thread when a write first fails.
    void becameUnavailable(const QString &problem);

private:
    // Writes between two checkpoints: a few hundred pages of log.
    static constexpr int checkpointEvery = 100;

    // The calling thread's store, made on its first call and deleted when the thread finishes.
    JournalStore &storeHere();
    // Before a call: a store of a journal that failed elsewhere is not used either.
    void entering(JournalStore &store);
    // After a call: says a new failure, asks for a due checkpoint, queues a due pruning.
    void called(JournalStore &store, int commitsBefore);
    void prune();

    QString m_path;
    JournalLimits m_limits;
    JournalStore::Clock m_clock;
    QThread *m_thread;
    QObject *m_context;
    JournalStore *m_setUp = nullptr; // the journal thread's store
    JournalCheckpointer *m_checkpointer = nullptr; // made before the first call, asked under m_lock
    // One call at a time: SQLite takes one writer, and this way a writer never waits on the file.
    mutable QMutex m_lock;
    QHash<QThread *, JournalStore *> m_stores; // guarded by m_lock
    bool m_available = false; // guarded by m_lock
    QString m_problem; // guarded by m_lock
    int m_commits = 0; // guarded by m_lock
    int m_uncheckpointed = 0; // guarded by m_lock
    bool m_pruneQueued = false; // guarded by m_lock
    // Request ids claimed and not yet settled, as "route\nid".
    QMutex m_claimLock;
    QWaitCondition m_settled;
    QSet<QString> m_acting; // guarded by m_claimLock
};

template<typename F> auto Journal::run(F f) -> decltype(f(std::declval<JournalStore &>()))
{
    QMutexLocker locker(&m_lock);
    JournalStore &store = storeHere();
    entering(store);
    const int commitsBefore = store.commits();
    if constexpr (std::is_void_v<decltype(f(store))>) {
        f(store);
        called(store, commitsBefore);
    } else {
        auto result = f(store);
        called(store, commitsBefore);
        return result;
    }
}
