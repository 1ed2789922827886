#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

// How long the journal keeps what, and how large its file may grow.
struct JournalLimits
{
    qint64 keepMs = 90ll * 24 * 3600 * 1000;
    qint64 keepBytesMs = 7ll * 24 * 3600 * 1000;
    qint64 keepRequestsMs = 24ll * 3600 * 1000;
    qint64 maxFileBytes = 100ll * 1024 * 1024;
};

// The journal's SQLite file: request ids and their replies, print jobs with their bytes, terminal
// commands with every text they produced. Used from one thread only, the one that made it (a Qt SQL
// connection belongs to its thread); Journal runs it on a thread of its own. Every write is one
// transaction, committed before the call returns. A write that fails makes the store unavailable.
class JournalStore
{
public:
    // Milliseconds since the epoch; benchmarks compress time with a clock of their own.
    using Clock = std::function<qint64()>;

    JournalStore(const QString &path, const JournalLimits &limits = JournalLimits(), Clock clock = Clock());
    ~JournalStore();
    JournalStore(const JournalStore &) = delete;
    JournalStore &operator=(const JournalStore &) = delete;

    bool isAvailable() const { return m_available; }
    // Why the store is unavailable, for the log and the window.
    QString problem() const { return m_problem; }

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
    // Whether a job id was given to this printer in an earlier run, and the outcome then.
    bool knownJob(const QString &printer, int jobId, QString *outcome);
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

    // Drops what is past its time, then the oldest entries while the file is above its bound.
    void prune();
    // The size the data takes in the file (free pages not counted).
    qint64 usedBytes();
    bool integrityOk();

private:
    bool open(const QString &path);
    bool exec(const QString &statement);
    void fail(const QString &what, const QString &error);
    bool begin();
    bool commit();
    qint64 now() const;

    QString m_connection;
    QSqlDatabase m_db;
    JournalLimits m_limits;
    Clock m_clock;
    bool m_available = false;
    QString m_problem;
};
