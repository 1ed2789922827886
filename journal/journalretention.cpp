#include "journalretention.h"

#include "journalsql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

JournalRetention::JournalRetention(const QSqlDatabase &db, const JournalLimits &limits)
    : m_db(db)
    , m_limits(limits)
{
}

bool JournalRetention::run(const char *statement, const QVariant &value, QString *error)
{
    QSqlQuery query = JournalSql::prepared(m_db, statement, {});
    if (value.isValid())
        query.addBindValue(value);
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

bool JournalRetention::transact(const std::function<bool()> &work, QString *error)
{
    if (!m_db.transaction()) {
        *error = m_db.lastError().text();
        return false;
    }
    const bool done = work();
    if (done && m_db.commit())
        return true;
    if (done)
        *error = m_db.lastError().text();
    m_db.rollback();
    return false;
}

bool JournalRetention::dropBefore(qint64 at, QString *error)
{
    // Open commands stay: their terminal may still answer.
    return run("DELETE FROM receipts WHERE print IN (SELECT id FROM prints WHERE at < ?)", at, error)
        && run("DELETE FROM prints WHERE at < ?", at, error)
        && run("DELETE FROM texts WHERE command IN (SELECT id FROM commands WHERE at < ? AND open = 0)", at,
            error)
        && run("DELETE FROM commands WHERE at < ? AND open = 0", at, error);
}

bool JournalRetention::prune(qint64 now, QString *error)
{
    // The bytes have a table of their own: rows dropped in order free whole pages, which go back
    // to the system; emptied columns in the middle of pages would not.
    const bool pruned = transact(
        [&] {
            return run("DELETE FROM requests WHERE at < ?", now - m_limits.keepRequestsMs, error)
                && run("DELETE FROM receipts WHERE print IN (SELECT id FROM prints WHERE at < ?)",
                    now - m_limits.keepBytesMs, error)
                && dropBefore(now - m_limits.keepMs, error);
        },
        error);
    if (!pruned)
        return false;
    while (usedBytes() > m_limits.maxFileBytes) {
        QSqlQuery left(m_db);
        if (!left.exec(QStringLiteral(
                "SELECT (SELECT COUNT(*) FROM prints) + (SELECT COUNT(*) FROM commands WHERE open = 0)"))
            || !left.next() || left.value(0).toLongLong() == 0)
            break;
        left.finish();
        if (!dropOldest(error))
            return false;
    }
    return run("PRAGMA incremental_vacuum", QVariant(), error);
}

bool JournalRetention::dropOldest(QString *error)
{
    // The oldest twentieth of the entries, receipts and payments together, by time.
    QSqlQuery cutoff(m_db);
    if (!cutoff.exec(QStringLiteral(
            "SELECT at FROM (SELECT at FROM prints UNION ALL SELECT at FROM commands WHERE open = 0) "
            "ORDER BY at LIMIT 1 OFFSET ((SELECT COUNT(*) FROM prints) + "
            "(SELECT COUNT(*) FROM commands WHERE open = 0)) / 20"))
        || !cutoff.next()) {
        *error = cutoff.lastError().text();
        return false;
    }
    // Entries at that time go too, so that each call drops something.
    const qint64 at = cutoff.value(0).toLongLong() + 1;
    cutoff.finish();
    return transact([&] { return dropBefore(at, error); }, error);
}

qint64 JournalRetention::usedBytes() const
{
    QSqlQuery query(m_db);
    if (!query.exec(
            QStringLiteral("SELECT (SELECT page_count FROM pragma_page_count()) - (SELECT freelist_count "
                           "FROM pragma_freelist_count()), (SELECT page_size FROM pragma_page_size())"))
        || !query.next())
        return 0;
    return query.value(0).toLongLong() * query.value(1).toLongLong();
}
