#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

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
    bool run(const QString &statement, std::initializer_list<QVariant> values, QString *error);
    bool dropOldest(QString *error);

    QSqlDatabase m_db;
    JournalLimits m_limits;
};
