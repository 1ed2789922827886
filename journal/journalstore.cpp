#include "journalstore.h"

#include "journallisting.h"
#include "journallog.h"
#include "journalsql.h"
#include "replytext.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace {

const char *const schema[] = {
    "CREATE TABLE IF NOT EXISTS requests(route TEXT NOT NULL, request_id TEXT NOT NULL, "
    "fingerprint BLOB NOT NULL, reply BLOB, at INTEGER NOT NULL, PRIMARY KEY(route, request_id))",
    "CREATE INDEX IF NOT EXISTS requests_at ON requests(at)",
    "CREATE TABLE IF NOT EXISTS prints(id INTEGER PRIMARY KEY AUTOINCREMENT, at INTEGER NOT NULL, "
    "printer TEXT NOT NULL, job_id INTEGER NOT NULL DEFAULT 0, request_id TEXT, outcome TEXT, state TEXT)",
    "CREATE TABLE IF NOT EXISTS receipts(print INTEGER PRIMARY KEY, bytes BLOB NOT NULL)",
    "CREATE INDEX IF NOT EXISTS prints_at ON prints(at)",
    "CREATE INDEX IF NOT EXISTS prints_job ON prints(printer, job_id)",
    "CREATE INDEX IF NOT EXISTS prints_request ON prints(request_id)",
    "CREATE TABLE IF NOT EXISTS commands(id INTEGER PRIMARY KEY AUTOINCREMENT, at INTEGER NOT NULL, "
    "port TEXT NOT NULL, terminal_id TEXT NOT NULL, command TEXT NOT NULL, amount TEXT, request_id TEXT, "
    "outcome TEXT, open INTEGER NOT NULL DEFAULT 1)",
    "CREATE INDEX IF NOT EXISTS commands_at ON commands(at)",
    "CREATE INDEX IF NOT EXISTS commands_port ON commands(port, open)",
    "CREATE INDEX IF NOT EXISTS commands_sale ON commands(port, terminal_id)",
    "CREATE INDEX IF NOT EXISTS commands_request ON commands(request_id)",
    "CREATE TABLE IF NOT EXISTS texts(id INTEGER PRIMARY KEY AUTOINCREMENT, command INTEGER NOT NULL, "
    "at INTEGER NOT NULL, text TEXT NOT NULL, unread INTEGER NOT NULL DEFAULT 1)",
    "CREATE INDEX IF NOT EXISTS texts_command ON texts(command)",
};

using JournalSql::prepared;

} // namespace

JournalStore::JournalStore(const QString &path, const JournalLimits &limits, Clock clock)
    : m_connection(QStringLiteral("journal-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_limits(limits)
    , m_clock(std::move(clock))
{
    m_available = open(path);
    if (!m_available)
        return;
    // Commands left open by a run that ended without their answer: their outcome is unknown.
    QSqlQuery open = prepared(m_db, "SELECT port FROM commands WHERE open = 1", {});
    QStringList ports;
    if (open.exec()) {
        while (open.next())
            ports << open.value(0).toString();
    }
    for (const QString &port : ports)
        commandCut(port);
    prune();
}

JournalStore::~JournalStore()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

bool JournalStore::open(const QString &path)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!m_db.isValid()) {
        fail(QStringLiteral("open"), QStringLiteral("no SQLite driver"));
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!m_db.open()) {
        fail(QStringLiteral("open"), m_db.lastError().text());
        return false;
    }
    // Incremental vacuum must be chosen before the first table; WAL keeps a commit one append.
    // A commit is in the log before the call returns, so it survives the program's crash; the log
    // reaches the disk at checkpoints, which keeps a write well under a millisecond (a power cut may
    // lose the last moments, never the file).
    if (!exec(QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL")))
        return false;
    QSqlQuery mode(m_db);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !mode.next()
        || mode.value(0).toString() != QLatin1String("wal")) {
        fail(QStringLiteral("open"), mode.lastError().text());
        return false;
    }
    mode.finish();
    if (!exec(QStringLiteral("PRAGMA synchronous = NORMAL")))
        return false;
    for (const char *statement : schema) {
        if (!exec(QLatin1String(statement)))
            return false;
    }
    // Files of the first version kept the bytes beside the entries and no job state.
    QSqlQuery columns(m_db);
    QStringList names;
    if (columns.exec(QStringLiteral("SELECT name FROM pragma_table_info('prints')"))) {
        while (columns.next())
            names << columns.value(0).toString();
    }
    columns.finish();
    if (names.contains(QLatin1String("state")))
        return true;
    if (!m_db.transaction()) {
        fail(QStringLiteral("open"), m_db.lastError().text());
        return false;
    }
    if (!exec(QStringLiteral(
            "INSERT OR IGNORE INTO receipts SELECT id, bytes FROM prints WHERE bytes IS NOT NULL"))
        || !exec(QStringLiteral("UPDATE prints SET bytes = NULL"))
        || !exec(QStringLiteral("ALTER TABLE prints ADD COLUMN state TEXT")) || !commit()) {
        m_db.rollback();
        return false;
    }
    // The room the bytes took in the entries' pages.
    return exec(QStringLiteral("VACUUM"));
}

bool JournalStore::exec(const QString &statement)
{
    QSqlQuery query(m_db);
    if (query.exec(statement))
        return true;
    fail(statement.left(40), query.lastError().text());
    return false;
}

void JournalStore::fail(const QString &what, const QString &error)
{
    if (m_available || m_problem.isEmpty())
        qCWarning(lcJournal, "journal unavailable (%s): %s", qPrintable(what), qPrintable(error));
    m_available = false;
    m_problem = error;
}

qint64 JournalStore::now() const
{
    return m_clock ? m_clock() : QDateTime::currentMSecsSinceEpoch();
}

bool JournalStore::begin()
{
    if (!m_available)
        return false;
    if (!m_db.transaction()) {
        fail(QStringLiteral("begin"), m_db.lastError().text());
        return false;
    }
    return true;
}

bool JournalStore::commit()
{
    if (m_db.commit()) {
        ++m_writes;
        return true;
    }
    fail(QStringLiteral("commit"), m_db.lastError().text());
    m_db.rollback();
    return false;
}

QString JournalStore::masked(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("(?<![0-9])[0-9]{13,19}(?![0-9])"));
    QString result = text;
    QRegularExpressionMatchIterator it = digits.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        for (int i = match.capturedStart(); i < match.capturedEnd() - 4; ++i)
            result[i] = QLatin1Char('*');
    }
    return result;
}

JournalStore::Claim JournalStore::claim(const QString &route, const QString &requestId,
    const QByteArray &fingerprint, QByteArray *reply, bool *same)
{
    if (!begin())
        return Claim::Failed;
    const qint64 at = now();
    QSqlQuery expired = prepared(m_db, "DELETE FROM requests WHERE route = ? AND request_id = ? AND at < ?",
        { route, requestId, at - m_limits.keepRequestsMs });
    QSqlQuery found = prepared(m_db,
        "SELECT fingerprint, reply FROM requests WHERE route = ? AND request_id = ?", { route, requestId });
    if (!expired.exec() || !found.exec()) {
        fail(QStringLiteral("claim"), found.lastError().text());
        m_db.rollback();
        return Claim::Failed;
    }
    if (found.next()) {
        *same = found.value(0).toByteArray() == fingerprint;
        const QVariant stored = found.value(1);
        found.finish();
        m_db.rollback();
        if (stored.isNull())
            return *same ? Claim::Pending : Claim::Done;
        *reply = stored.toByteArray();
        return Claim::Done;
    }
    QSqlQuery insert = prepared(m_db,
        "INSERT INTO requests(route, request_id, fingerprint, reply, at) VALUES(?, ?, ?, NULL, ?)",
        { route, requestId, fingerprint, at });
    if (!insert.exec()) {
        fail(QStringLiteral("claim"), insert.lastError().text());
        m_db.rollback();
        return Claim::Failed;
    }
    return commit() ? Claim::New : Claim::Failed;
}

bool JournalStore::settle(const QString &route, const QString &requestId, const QByteArray &reply)
{
    if (!begin())
        return false;
    QSqlQuery update = prepared(m_db, "UPDATE requests SET reply = ? WHERE route = ? AND request_id = ?",
        { reply, route, requestId });
    if (!update.exec()) {
        fail(QStringLiteral("settle"), update.lastError().text());
        m_db.rollback();
        return false;
    }
    return commit();
}

qint64 JournalStore::printStarted(const QString &printer, const QString &requestId, const QByteArray &bytes)
{
    if (!begin())
        return 0;
    QSqlQuery insert = prepared(m_db, "INSERT INTO prints(at, printer, request_id) VALUES(?, ?, ?)",
        { now(), printer, requestId.isEmpty() ? QVariant() : requestId });
    if (!insert.exec()) {
        fail(QStringLiteral("print"), insert.lastError().text());
        m_db.rollback();
        return 0;
    }
    const qint64 entry = insert.lastInsertId().toLongLong();
    QSqlQuery kept = prepared(m_db, "INSERT INTO receipts(print, bytes) VALUES(?, ?)", { entry, bytes });
    if (!kept.exec()) {
        fail(QStringLiteral("print"), kept.lastError().text());
        m_db.rollback();
        return 0;
    }
    return commit() ? entry : 0;
}

bool JournalStore::printEnded(qint64 entry, int jobId, const QString &outcome)
{
    if (!begin())
        return false;
    QSqlQuery update = prepared(
        m_db, "UPDATE prints SET job_id = ?, outcome = ? WHERE id = ?", { jobId, masked(outcome), entry });
    if (!update.exec()) {
        fail(QStringLiteral("print"), update.lastError().text());
        m_db.rollback();
        return false;
    }
    return commit();
}

bool JournalStore::printOfRequest(const QString &requestId, int *jobId)
{
    QSqlQuery query = prepared(
        m_db, "SELECT job_id FROM prints WHERE request_id = ? ORDER BY id DESC LIMIT 1", { requestId });
    if (!m_available || !query.exec() || !query.next())
        return false;
    *jobId = query.value(0).toInt();
    return true;
}

void JournalStore::jobEnded(const QString &printer, int jobId, const QString &state)
{
    if (!begin())
        return;
    QSqlQuery update = prepared(m_db,
        "UPDATE prints SET state = ? WHERE id = (SELECT id FROM prints WHERE printer = ? AND job_id = ? "
        "ORDER BY id DESC LIMIT 1) AND state IS NOT ?",
        { state, printer, jobId, state });
    if (!update.exec()) {
        fail(QStringLiteral("print"), update.lastError().text());
        m_db.rollback();
        return;
    }
    commit();
}

QString JournalStore::jobState(const QString &printer, int jobId)
{
    QSqlQuery query
        = prepared(m_db, "SELECT state FROM prints WHERE printer = ? AND job_id = ? ORDER BY id DESC LIMIT 1",
            { printer, jobId });
    if (!m_available || jobId <= 0 || !query.exec() || !query.next())
        return QString();
    return query.value(0).toString();
}

int JournalStore::lastJobId(const QString &printer)
{
    QSqlQuery query = prepared(m_db, "SELECT MAX(job_id) FROM prints WHERE printer = ?", { printer });
    return m_available && query.exec() && query.next() ? query.value(0).toInt() : 0;
}

QByteArray JournalStore::printBytes(qint64 entry, QString *printer)
{
    QSqlQuery query = prepared(m_db,
        "SELECT printer, receipts.bytes FROM prints LEFT JOIN receipts ON receipts.print = prints.id "
        "WHERE prints.id = ?",
        { entry });
    if (!m_available || !query.exec() || !query.next())
        return QByteArray();
    *printer = query.value(0).toString();
    return query.value(1).toByteArray();
}

qint64 JournalStore::commandStarted(const QString &port, const QString &terminalId, const QString &command,
    const QString &amount, const QString &requestId)
{
    if (!begin())
        return 0;
    const qint64 at = now();
    QSqlQuery close = prepared(m_db, "UPDATE commands SET open = 0 WHERE port = ? AND open = 1", { port });
    QSqlQuery insert = prepared(m_db,
        "INSERT INTO commands(at, port, terminal_id, command, amount, request_id) VALUES(?, ?, ?, ?, ?, ?)",
        { at, port, terminalId, command, amount.isEmpty() ? QVariant() : masked(amount),
            requestId.isEmpty() ? QVariant() : requestId });
    if (!close.exec() || !insert.exec()) {
        fail(QStringLiteral("command"), insert.lastError().text());
        m_db.rollback();
        return 0;
    }
    const qint64 entry = insert.lastInsertId().toLongLong();
    return commit() ? entry : 0;
}

bool JournalStore::commandOfRequest(const QString &requestId)
{
    QSqlQuery query = prepared(m_db, "SELECT 1 FROM commands WHERE request_id = ? LIMIT 1", { requestId });
    return m_available && query.exec() && query.next();
}

QString JournalStore::fileText(const QString &port, const QString &text)
{
    if (!begin())
        return QString();
    QSqlQuery open = prepared(m_db,
        "SELECT id, terminal_id, open, EXISTS(SELECT 1 FROM texts WHERE texts.command = commands.id "
        "AND text = ?) FROM commands WHERE port = ? ORDER BY open DESC, id DESC LIMIT 1",
        { ReplyText::outcomeUnknown(), port });
    if (!open.exec()) {
        fail(QStringLiteral("text"), open.lastError().text());
        m_db.rollback();
        return QString();
    }
    if (!open.next() || (!open.value(2).toBool() && !open.value(3).toBool())) {
        m_db.rollback();
        return QString();
    }
    const qint64 command = open.value(0).toLongLong();
    const QString terminalId = open.value(1).toString();
    open.finish();
    const QString stored = masked(text);
    QSqlQuery insert
        = prepared(m_db, "INSERT INTO texts(command, at, text) VALUES(?, ?, ?)", { command, now(), stored });
    QSqlQuery outcome = prepared(m_db, "UPDATE commands SET outcome = ? WHERE id = ?", { stored, command });
    if (!insert.exec() || !outcome.exec()) {
        fail(QStringLiteral("text"), insert.lastError().text());
        m_db.rollback();
        return QString();
    }
    return commit() ? terminalId : QString();
}

void JournalStore::commandEnded(const QString &port)
{
    if (!begin())
        return;
    QSqlQuery close = prepared(m_db, "UPDATE commands SET open = 0 WHERE port = ? AND open = 1", { port });
    if (!close.exec()) {
        fail(QStringLiteral("command"), close.lastError().text());
        m_db.rollback();
        return;
    }
    commit();
}

void JournalStore::commandCut(const QString &port)
{
    QSqlQuery open = prepared(m_db, "SELECT 1 FROM commands WHERE port = ? AND open = 1", { port });
    if (!m_available || !open.exec() || !open.next())
        return;
    open.finish();
    if (!fileText(port, ReplyText::outcomeUnknown()).isNull())
        commandEnded(port);
}

void JournalStore::textsRead(const QString &port, const QString &terminalId)
{
    if (!begin())
        return;
    QSqlQuery read = prepared(m_db,
        "UPDATE texts SET unread = 0 WHERE unread = 1 AND command IN "
        "(SELECT id FROM commands WHERE port = ? AND terminal_id = ?)",
        { port, terminalId });
    if (!read.exec()) {
        fail(QStringLiteral("read"), read.lastError().text());
        m_db.rollback();
        return;
    }
    commit();
}

QStringList JournalStore::unreadTexts(const QString &port, const QString &terminalId)
{
    QSqlQuery query = prepared(m_db,
        "SELECT text FROM texts WHERE unread = 1 AND command = (SELECT id FROM commands "
        "WHERE port = ? AND terminal_id = ? ORDER BY id DESC LIMIT 1) ORDER BY id",
        { port, terminalId });
    QStringList texts;
    if (!m_available || !query.exec())
        return texts;
    while (query.next())
        texts << query.value(0).toString();
    return texts;
}

QJsonArray JournalStore::entries(qint64 from, qint64 to, const QString &kind, int limit, bool *more)
{
    *more = false;
    return m_available ? JournalListing::entries(m_db, from, to, kind, limit, more) : QJsonArray();
}

qint64 JournalStore::usedBytes()
{
    return JournalRetention(m_db, m_limits).usedBytes();
}

void JournalStore::prune()
{
    m_writes = 0;
    QString error;
    if (m_available && !JournalRetention(m_db, m_limits).prune(now(), &error))
        fail(QStringLiteral("prune"), error);
}

bool JournalStore::integrityOk()
{
    QSqlQuery query(m_db);
    return m_available && query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next()
        && query.value(0).toString() == QLatin1String("ok");
}
