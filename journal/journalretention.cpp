#include "journalretention.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

JournalRetention::JournalRetention(const QSqlDatabase &db, const JournalLimits &limits)
    : m_db(db)
    , m_limits(limits)
{
}

bool JournalRetention::run(const QString &statement, std::initializer_list<QVariant> values, QString *error)
{
    QSqlQuery query(m_db);
    query.prepare(statement);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

bool JournalRetention::prune(qint64 now, QString *error)
{
    const qint64 oldest = now - m_limits.keepMs;
    if (!m_db.transaction()) {
        *error = m_db.lastError().text();
        return false;
    }
    // The bytes have a table of their own: rows dropped in order free whole pages, which go back
    // to the system; emptied columns in the middle of pages would not.
    const bool pruned
        = run(QStringLiteral("DELETE FROM requests WHERE at < ?"), { now - m_limits.keepRequestsMs }, error)
        && run(QStringLiteral("DELETE FROM receipts WHERE print IN (SELECT id FROM prints WHERE at < ?)"),
            { now - m_limits.keepBytesMs }, error)
        && run(QStringLiteral("DELETE FROM prints WHERE at < ?"), { oldest }, error)
        && run(QStringLiteral("DELETE FROM texts WHERE command IN "
                              "(SELECT id FROM commands WHERE at < ? AND open = 0)"),
            { oldest }, error)
        && run(QStringLiteral("DELETE FROM commands WHERE at < ? AND open = 0"), { oldest }, error);
    if (!pruned || !m_db.commit()) {
        if (pruned)
            *error = m_db.lastError().text();
        m_db.rollback();
        return false;
    }
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
    return run(QStringLiteral("PRAGMA incremental_vacuum"), {}, error)
        && run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"), {}, error);
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
    const QVariant at = cutoff.value(0);
    cutoff.finish();
    if (!m_db.transaction()) {
        *error = m_db.lastError().text();
        return false;
    }
    const bool dropped
        = run(QStringLiteral("DELETE FROM receipts WHERE print IN (SELECT id FROM prints WHERE at <= ?)"),
              { at }, error)
        && run(QStringLiteral("DELETE FROM prints WHERE at <= ?"), { at }, error)
        && run(QStringLiteral("DELETE FROM texts WHERE command IN "
                              "(SELECT id FROM commands WHERE open = 0 AND at <= ?)"),
            { at }, error)
        && run(QStringLiteral("DELETE FROM commands WHERE open = 0 AND at <= ?"), { at }, error);
    if (!dropped || !m_db.commit()) {
        if (dropped)
            *error = m_db.lastError().text();
        m_db.rollback();
        return false;
    }
    return true;
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
