#include "journallisting.h"

#include "journalsql.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

#include <algorithm>

namespace {

using JournalSql::prepared;

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

} // namespace

QJsonArray JournalListing::entries(
    const QSqlDatabase &db, qint64 from, qint64 to, const QString &kind, int limit, bool *more)
{
    *more = false;
    QJsonArray result;
    struct Entry
    {
        qint64 at;
        qint64 order;
        QJsonObject object;
    };
    QVector<Entry> found;
    if (kind != QLatin1String("payment")) {
        QSqlQuery prints = prepared(db,
            "SELECT id, at, printer, job_id, request_id, outcome, "
            "EXISTS(SELECT 1 FROM receipts WHERE print = prints.id) FROM prints "
            "WHERE at >= ? AND at <= ? ORDER BY at, id LIMIT ?",
            { from, to, limit + 1 });
        if (prints.exec()) {
            while (prints.next()) {
                found.append({ prints.value(1).toLongLong(), prints.value(0).toLongLong() * 2,
                    QJsonObject { { QStringLiteral("kind"), QStringLiteral("print") },
                        { QStringLiteral("entry"), prints.value(0).toLongLong() },
                        { QStringLiteral("time"), timeText(prints.value(1).toLongLong()) },
                        { QStringLiteral("printer"), prints.value(2).toString() },
                        { QStringLiteral("jobId"), prints.value(3).toInt() },
                        { QStringLiteral("requestId"), prints.value(4).toString() },
                        { QStringLiteral("outcome"), prints.value(5).toString() },
                        { QStringLiteral("reprintable"), prints.value(6).toBool() } } });
            }
        }
    }
    if (kind != QLatin1String("print")) {
        QSqlQuery commands = prepared(db,
            "SELECT id, at, port, terminal_id, command, amount, request_id, outcome, open FROM commands "
            "WHERE at >= ? AND at <= ? ORDER BY at, id LIMIT ?",
            { from, to, limit + 1 });
        QSqlQuery texts(db);
        texts.prepare(QStringLiteral("SELECT text FROM texts WHERE command = ? ORDER BY id"));
        if (commands.exec()) {
            while (commands.next()) {
                QJsonArray said;
                texts.addBindValue(commands.value(0));
                if (texts.exec()) {
                    while (texts.next())
                        said << texts.value(0).toString();
                }
                found.append({ commands.value(1).toLongLong(), commands.value(0).toLongLong() * 2 + 1,
                    QJsonObject { { QStringLiteral("kind"), QStringLiteral("payment") },
                        { QStringLiteral("entry"), commands.value(0).toLongLong() },
                        { QStringLiteral("time"), timeText(commands.value(1).toLongLong()) },
                        { QStringLiteral("port"), commands.value(2).toString() },
                        { QStringLiteral("terminalId"), commands.value(3).toString() },
                        { QStringLiteral("command"), commands.value(4).toString() },
                        { QStringLiteral("amount"), commands.value(5).toString() },
                        { QStringLiteral("requestId"), commands.value(6).toString() },
                        { QStringLiteral("texts"), said },
                        { QStringLiteral("outcome"),
                            commands.value(8).toBool() ? QString() : commands.value(7).toString() } } });
            }
        }
    }
    std::sort(found.begin(), found.end(),
        [](const Entry &a, const Entry &b) { return a.at != b.at ? a.at < b.at : a.order < b.order; });
    for (const Entry &entry : qAsConst(found)) {
        if (result.size() == limit) {
            *more = true;
            break;
        }
        result << entry.object;
    }
    return result;
}
