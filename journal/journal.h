#pragma once

#include "journalstore.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QWaitCondition>

class QThread;

// The journal for the whole program, callable from any thread: every call runs on the journal's own
// thread, where its SQLite connection lives (Qt SQL connections belong to the thread that opened
// them), and returns once that thread has done it, so a write is committed when the call returns.
// That thread's queue is the journal's lock. Request ids being acted on are held in memory as well,
// so that a second request with the same id waits for the first one's reply instead of acting too.
class Journal : public QObject
{
    Q_OBJECT

public:
    explicit Journal(const QString &path, const JournalLimits &limits = JournalLimits(),
        JournalStore::Clock clock = JournalStore::Clock(), QObject *parent = nullptr);
    ~Journal() override;

    // $XDG_DATA_HOME/varnel/journal.sqlite
    static QString defaultPath();

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

    qint64 printStarted(const QString &printer, const QString &requestId, const QByteArray &bytes);
    bool printEnded(qint64 entry, int jobId, const QString &outcome);
    bool printOfRequest(const QString &requestId, int *jobId);
    bool knownJob(const QString &printer, int jobId, QString *outcome);
    QByteArray printBytes(qint64 entry, QString *printer);

    qint64 commandStarted(const QString &port, const QString &terminalId, const QString &command,
        const QString &amount, const QString &requestId);
    bool commandOfRequest(const QString &requestId);
    QString fileText(const QString &port, const QString &text);
    void commandEnded(const QString &port);
    void commandCut(const QString &port);
    void textsRead(const QString &port, const QString &terminalId);
    QStringList unreadTexts(const QString &port, const QString &terminalId);

    QJsonArray entries(qint64 from, qint64 to, const QString &kind, int limit, bool *more);
    void prune();
    qint64 usedBytes();
    bool integrityOk();

signals:
    // Emitted on the journal's thread when a write first fails.
    void becameUnavailable(const QString &problem);

private:
    // Runs f on the journal's thread with its store and returns its value.
    template<typename F> auto run(F f) -> decltype(f(std::declval<JournalStore &>()));

    QThread *m_thread;
    QObject *m_context;
    JournalStore *m_store = nullptr; // used on m_thread only
    int m_writes = 0; // used on m_thread only
    // Request ids claimed and not yet settled, as "route\nid".
    QMutex m_claimLock;
    QWaitCondition m_settled;
    QSet<QString> m_acting; // guarded by m_claimLock
};
