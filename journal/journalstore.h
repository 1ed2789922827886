#pragma once

#include "journalretention.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <initializer_list>

// The journal's SQLite file: request ids and their replies, print jobs with their bytes, terminal
// commands with every text they produced. Used from one thread only, the one that made it (a Qt SQL
// connection belongs to its thread); Journal gives each thread that calls it a store of its own.
// Every write is one transaction, committed before the call returns. A write that fails makes the
// store unavailable.
class JournalStore
{
public:
    // Milliseconds since the epoch; benchmarks compress time with a clock of their own.
    using Clock = std::function<qint64()>;

    // Opening sets the file up: its tables, the files of the first version brought up to date,
    // the commands a crash left open cut, a pruning. Joining only connects to a file set up.
    // Closed opens nothing: a store of a journal that could not be set up.
    enum class Opening { SetUp, Join, Closed };

    JournalStore(const QString &path, const JournalLimits &limits = JournalLimits(), Clock clock = Clock(),
        Opening opening = Opening::SetUp);
    ~JournalStore();
    JournalStore(const JournalStore &) = delete;
    JournalStore &operator=(const JournalStore &) = delete;

    bool isAvailable() const { return m_available; }
    // Why the store is unavailable, for the log and the window.
    QString problem() const { return m_problem; }
    // Another connection to the file failed: this one is not used either.
    void markUnavailable(const QString &problem);
    // Transactions committed through this store.
    int commits() const { return m_commits; }

    // Every run of 13 to 19 digits with all but its last four digits replaced by '*'.
    static QString masked(const QString &text);

    // A request id on a route: new (now held as pending), done before (its reply and whether the
    // request was the same), or pending since an earlier run that ended before replying.
    enum class Claim { New, Done, Pending, Failed };
    Claim claim(const QString &route, const QString &requestId, const QByteArray &fingerprint,
        QByteArray *reply, bool *same);
    bool settle(const QString &route, const QString &requestId, const QByteArray &reply);

    // A print job about to be sent (its entry's number, 0 when not written), and how it ended.
    qint64 printStarted(const QString &printer, const QString &requestId, const QByteArray &bytes);
    bool printEnded(qint64 entry, int jobId, const QString &outcome);
    // The print entry of a request id: its CUPS job id (0 when it never got one); false when none.
    bool printOfRequest(const QString &requestId, int *jobId);
    // A job's final state ("completed", "aborted", ...) as the program learnt it, and the state
    // kept for the newest entry with that job id on that printer (empty when none was learnt).
    void jobEnded(const QString &printer, int jobId, const QString &state);
    QString jobState(const QString &printer, int jobId);
    // The highest job id this printer has given, 0 when none.
    int lastJobId(const QString &printer);
    // The bytes kept for a print entry, empty once they have gone.
    QByteArray printBytes(qint64 entry, QString *printer);

    // A terminal command about to be handed to its terminal; one that is still open on the same
    // port ends there.
    qint64 commandStarted(const QString &port, const QString &terminalId, const QString &command,
        const QString &amount, const QString &requestId);
    bool commandOfRequest(const QString &requestId);
    // Files a text for the command open on the port; with none open, for the port's last command
    // when it was cut (a late answer). The terminal id it was filed for, or a null string.
    QString fileText(const QString &port, const QString &text);
    void commandEnded(const QString &port);
    // The open command on the port, if any, ends with its outcome unknown (M97).
    void commandCut(const QString &port);
    void textsRead(const QString &port, const QString &terminalId);
    // The unread texts of the last command of this point of sale on this port.
    QStringList unreadTexts(const QString &port, const QString &terminalId);

    // The entries from..to (ms since the epoch), oldest first; kind "print", "payment" or empty
    // for both. At most `limit`; more says whether others were left out.
    QJsonArray entries(qint64 from, qint64 to, const QString &kind, int limit, bool *more);

    // Drops what is past its time, then the oldest entries while the data is above its bound;
    // then empties the write-ahead log, unless checkpoints are made elsewhere.
    void prune();
    // Writes between two prunings: the bounds hold within a few hundred entries.
    static constexpr int pruneEvery = 500;
    // From now on another connection copies the log into the file (JournalCheckpointer), so that a
    // commit does not wait for the syncs a checkpoint makes.
    void checkpointElsewhere();
    // The size the data takes in the file (free pages not counted).
    qint64 usedBytes();
    bool integrityOk();

private:
    // What the log file keeps of its size once it has been emptied.
    static constexpr qint64 logSizeLimit = 4 * 1024 * 1024;
    static constexpr int selfCheckpointPages = 4000;

    enum class Row { Found, None, Failed };

    bool open(const QString &path, Opening opening);
    bool exec(const QString &statement);
    void fail(const QString &what, const QString &error);
    bool begin();
    bool commit();
    qint64 now() const;
    // A statement of this connection with `values` bound in order, prepared on its first use only:
    // preparing takes longer than running one of these. `sql` is a literal, known by its address.
    QSqlQuery &statement(const char *sql, std::initializer_list<QVariant> values);
    // A write inside the open transaction; when it fails the store fails (as `what`) and the
    // transaction is rolled back. insertId gets the id of the row it inserted.
    bool write(const char *what, const char *sql, std::initializer_list<QVariant> values,
        qint64 *insertId = nullptr);
    // The first row of a read, in `row`. The statement is reset before this returns: a statement
    // left on a row holds a read that keeps checkpoints from emptying the write-ahead log.
    Row select(const char *sql, std::initializer_list<QVariant> values, QVariantList *row = nullptr,
        QString *error = nullptr);

    QString m_connection;
    QSqlDatabase m_db;
    QHash<const char *, QSqlQuery> m_statements;
    QSqlQuery m_unprepared; // a statement that failed to prepare, tried again on its next use
    JournalLimits m_limits;
    Clock m_clock;
    bool m_available = false;
    QString m_problem;
    int m_commits = 0;
    bool m_checkpointsElsewhere = false;
};
