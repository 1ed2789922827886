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
#include <QSqlRecord>
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

JournalStore::JournalStore(const QString &path, const JournalLimits &limits, Clock clock, Opening opening)
    : m_connection(QStringLiteral("journal-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_limits(limits)
    , m_clock(std::move(clock))
{
    m_available = opening != Opening::Closed && open(path, opening);
    if (!m_available || opening == Opening::Join)
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
    m_statements.clear();
    m_unprepared = QSqlQuery();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

bool JournalStore::open(const QString &path, Opening opening)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!m_db.isValid()) {
        fail(QStringLiteral("open"), QStringLiteral("no SQLite driver"));
        return false;
    }
    if (opening == Opening::SetUp)
        QDir().mkpath(QFileInfo(path).absolutePath());
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!m_db.open()) {
        fail(QStringLiteral("open"), m_db.lastError().text());
        return false;
    }
    // The log mode is the file's; how a commit syncs is each connection's own. A joining
    // connection serves one thread's few entries, so its cache stays small.
    if (opening == Opening::Join)
        return exec(QStringLiteral("PRAGMA synchronous = NORMAL"))
            && exec(QStringLiteral("PRAGMA cache_size = -512"));
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

void JournalStore::markUnavailable(const QString &problem)
{
    m_available = false;
    m_problem = problem;
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
    QSqlQuery &query = statement("BEGIN", {});
    if (!query.exec()) {
        fail(QStringLiteral("begin"), query.lastError().text());
        return false;
    }
    return true;
}

bool JournalStore::commit()
{
    QSqlQuery &query = statement("COMMIT", {});
    if (query.exec()) {
        ++m_commits;
        return true;
    }
    fail(QStringLiteral("commit"), query.lastError().text());
    m_db.rollback();
    return false;
}

QSqlQuery &JournalStore::statement(const char *sql, std::initializer_list<QVariant> values)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (query.prepare(QLatin1String(sql))) {
            it = m_statements.insert(sql, query);
        } else {
            m_unprepared = query;
            return m_unprepared;
        }
    }
    int index = 0;
    for (const QVariant &value : values)
        it->bindValue(index++, value);
    return *it;
}

bool JournalStore::write(
    const char *what, const char *sql, std::initializer_list<QVariant> values, qint64 *insertId)
{
    QSqlQuery &query = statement(sql, values);
    if (!query.exec()) {
        fail(QLatin1String(what), query.lastError().text());
        m_db.rollback();
        return false;
    }
    if (insertId)
        *insertId = query.lastInsertId().toLongLong();
    return true;
}

JournalStore::Row JournalStore::select(
    const char *sql, std::initializer_list<QVariant> values, QVariantList *row, QString *error)
{
    QSqlQuery &query = statement(sql, values);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return Row::Failed;
    }
    const bool found = query.next();
    if (found && row) {
        row->clear();
        for (int column = 0, columns = query.record().count(); column < columns; ++column)
            row->append(query.value(column));
    }
    query.finish();
    return found ? Row::Found : Row::None;
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
    if (!write("claim", "DELETE FROM requests WHERE route = ? AND request_id = ? AND at < ?",
            { route, requestId, at - m_limits.keepRequestsMs }))
        return Claim::Failed;
    QVariantList found;
    QString error;
    switch (select("SELECT fingerprint, reply FROM requests WHERE route = ? AND request_id = ?",
        { route, requestId }, &found, &error)) {
    case Row::Failed:
        fail(QStringLiteral("claim"), error);
        m_db.rollback();
        return Claim::Failed;
    case Row::Found:
        m_db.rollback();
        *same = found.at(0).toByteArray() == fingerprint;
        if (found.at(1).isNull())
            return *same ? Claim::Pending : Claim::Done;
        *reply = found.at(1).toByteArray();
        return Claim::Done;
    case Row::None:
        break;
    }
    if (!write("claim",
            "INSERT INTO requests(route, request_id, fingerprint, reply, at) VALUES(?, ?, ?, NULL, ?)",
            { route, requestId, fingerprint, at }))
        return Claim::Failed;
    return commit() ? Claim::New : Claim::Failed;
}

bool JournalStore::settle(const QString &route, const QString &requestId, const QByteArray &reply)
{
    return begin()
        && write("settle", "UPDATE requests SET reply = ? WHERE route = ? AND request_id = ?",
            { reply, route, requestId })
        && commit();
}

qint64 JournalStore::printStarted(const QString &printer, const QString &requestId, const QByteArray &bytes)
{
    qint64 entry = 0;
    const bool written = begin()
        && write("print", "INSERT INTO prints(at, printer, request_id) VALUES(?, ?, ?)",
            { now(), printer, requestId.isEmpty() ? QVariant() : requestId }, &entry)
        && write("print", "INSERT INTO receipts(print, bytes) VALUES(?, ?)", { entry, bytes }) && commit();
    return written ? entry : 0;
}

bool JournalStore::printEnded(qint64 entry, int jobId, const QString &outcome)
{
    return begin()
        && write("print", "UPDATE prints SET job_id = ?, outcome = ? WHERE id = ?",
            { jobId, masked(outcome), entry })
        && commit();
}

bool JournalStore::printOfRequest(const QString &requestId, int *jobId)
{
    QVariantList row;
    if (!m_available
        || select(
               "SELECT job_id FROM prints WHERE request_id = ? ORDER BY id DESC LIMIT 1", { requestId }, &row)
            != Row::Found)
        return false;
    *jobId = row.at(0).toInt();
    return true;
}

void JournalStore::jobEnded(const QString &printer, int jobId, const QString &state)
{
    if (begin()
        && write("print",
            "UPDATE prints SET state = ? WHERE id = (SELECT id FROM prints WHERE printer = ? AND job_id = ? "
            "ORDER BY id DESC LIMIT 1) AND state IS NOT ?",
            { state, printer, jobId, state }))
        commit();
}

QString JournalStore::jobState(const QString &printer, int jobId)
{
    QVariantList row;
    if (!m_available || jobId <= 0
        || select("SELECT state FROM prints WHERE printer = ? AND job_id = ? ORDER BY id DESC LIMIT 1",
               { printer, jobId }, &row)
            != Row::Found)
        return QString();
    return row.at(0).toString();
}

int JournalStore::lastJobId(const QString &printer)
{
    QVariantList row;
    return m_available
            && select("SELECT MAX(job_id) FROM prints WHERE printer = ?", { printer }, &row) == Row::Found
        ? row.at(0).toInt()
        : 0;
}

QByteArray JournalStore::printBytes(qint64 entry, QString *printer)
{
    QVariantList row;
    if (!m_available
        || select(
               "SELECT printer, receipts.bytes FROM prints LEFT JOIN receipts ON receipts.print = prints.id "
               "WHERE prints.id = ?",
               { entry }, &row)
            != Row::Found)
        return QByteArray();
    *printer = row.at(0).toString();
    return row.at(1).toByteArray();
}

qint64 JournalStore::commandStarted(const QString &port, const QString &terminalId, const QString &command,
    const QString &amount, const QString &requestId)
{
    qint64 entry = 0;
    const bool written = begin()
        && write("command", "UPDATE commands SET open = 0 WHERE port = ? AND open = 1", { port })
        && write("command",
            "INSERT INTO commands(at, port, terminal_id, command, amount, request_id) VALUES(?, ?, ?, ?, ?, "
            "?)",
            { now(), port, terminalId, command, amount.isEmpty() ? QVariant() : masked(amount),
                requestId.isEmpty() ? QVariant() : requestId },
            &entry)
        && commit();
    return written ? entry : 0;
}

bool JournalStore::commandOfRequest(const QString &requestId)
{
    return m_available
        && select("SELECT 1 FROM commands WHERE request_id = ? LIMIT 1", { requestId }) == Row::Found;
}

QString JournalStore::fileText(const QString &port, const QString &text)
{
    if (!begin())
        return QString();
    QVariantList open;
    QString error;
    const Row found
        = select("SELECT id, terminal_id, open, EXISTS(SELECT 1 FROM texts WHERE texts.command = commands.id "
                 "AND text = ?) FROM commands WHERE port = ? ORDER BY open DESC, id DESC LIMIT 1",
            { ReplyText::outcomeUnknown(), port }, &open, &error);
    if (found == Row::Failed) {
        fail(QStringLiteral("text"), error);
        m_db.rollback();
        return QString();
    }
    if (found == Row::None || (!open.at(2).toBool() && !open.at(3).toBool())) {
        m_db.rollback();
        return QString();
    }
    const qint64 command = open.at(0).toLongLong();
    const QString stored = masked(text);
    if (!write("text", "INSERT INTO texts(command, at, text) VALUES(?, ?, ?)", { command, now(), stored })
        || !write("text", "UPDATE commands SET outcome = ? WHERE id = ?", { stored, command }) || !commit())
        return QString();
    return open.at(1).toString();
}

void JournalStore::commandEnded(const QString &port)
{
    if (begin() && write("command", "UPDATE commands SET open = 0 WHERE port = ? AND open = 1", { port }))
        commit();
}

void JournalStore::commandCut(const QString &port)
{
    if (!m_available || select("SELECT 1 FROM commands WHERE port = ? AND open = 1", { port }) != Row::Found)
        return;
    if (!fileText(port, ReplyText::outcomeUnknown()).isNull())
        commandEnded(port);
}

void JournalStore::textsRead(const QString &port, const QString &terminalId)
{
    if (begin()
        && write("read",
            "UPDATE texts SET unread = 0 WHERE unread = 1 AND command IN "
            "(SELECT id FROM commands WHERE port = ? AND terminal_id = ?)",
            { port, terminalId }))
        commit();
}

QStringList JournalStore::unreadTexts(const QString &port, const QString &terminalId)
{
    QStringList texts;
    if (!m_available)
        return texts;
    QSqlQuery &query
        = statement("SELECT text FROM texts WHERE unread = 1 AND command = (SELECT id FROM commands "
                    "WHERE port = ? AND terminal_id = ? ORDER BY id DESC LIMIT 1) ORDER BY id",
            { port, terminalId });
    if (query.exec()) {
        while (query.next())
            texts << query.value(0).toString();
    }
    query.finish();
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
    if (!m_available)
        return;
    QString error;
    if (!JournalRetention(m_db, m_limits).prune(now(), &error)) {
        fail(QStringLiteral("prune"), error);
        return;
    }
    if (m_checkpointsElsewhere)
        return;
    QSqlQuery checkpoint(m_db);
    if (!checkpoint.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")))
        fail(QStringLiteral("prune"), checkpoint.lastError().text());
}

void JournalStore::checkpointElsewhere()
{
    // Writes without a pause leave another connection no moment with the whole log copied, and
    // the log starts over only after one: past that many pages this connection copies it itself.
    // Started over, the log is cut back to its limit.
    if (exec(QStringLiteral("PRAGMA wal_autocheckpoint = %1").arg(selfCheckpointPages))
        && exec(QStringLiteral("PRAGMA journal_size_limit = %1").arg(logSizeLimit)))
        m_checkpointsElsewhere = true;
}

bool JournalStore::integrityOk()
{
    QSqlQuery query(m_db);
    return m_available && query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next()
        && query.value(0).toString() == QLatin1String("ok");
}
