#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <initializer_list>

namespace JournalSql {

// A prepared statement with its values bound in order, read forward only.
inline QSqlQuery prepared(
    const QSqlDatabase &db, const char *statement, std::initializer_list<QVariant> values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QLatin1String(statement));
    for (const QVariant &value : values)
        query.addBindValue(value);
    return query;
}

} // namespace JournalSql
