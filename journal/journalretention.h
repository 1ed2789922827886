#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>

// How long the journal keeps what, and how much data it may hold.
struct JournalLimits
{
    qint64 keepMs = 90ll * 24 * 3600 * 1000;
    qint64 keepBytesMs = 7ll * 24 * 3600 * 1000;
    qint64 keepRequestsMs = 24ll * 3600 * 1000;
    qint64 maxFileBytes = 100ll * 1024 * 1024;
};

// What the journal lets go: request ids after a day, print bytes after a week, entries after
// their time, then the oldest entries while the data is above its bound. Works on the store's
// connection, on the store's thread.
class JournalRetention
{
public:
    JournalRetention(const QSqlDatabase &db, const JournalLimits &limits);

    // False, with error set, when a statement failed (what was committed before stays).
    bool prune(qint64 now, QString *error);
    // The size the data takes in the file (free pages not counted).
    qint64 usedBytes() const;

private:
    // One statement with at most one value; false, with error set, when it failed.
    bool run(const char *statement, const QVariant &value, QString *error);
    // work() inside a transaction, committed when it returns true.
    bool transact(const std::function<bool()> &work, QString *error);
    // Entries (and their bytes and texts) older than at; open commands stay.
    bool dropBefore(qint64 at, QString *error);
    bool dropOldest(QString *error);

    QSqlDatabase m_db;
    JournalLimits m_limits;
};
