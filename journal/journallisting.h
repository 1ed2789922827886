#pragma once

#include <QJsonArray>
#include <QSqlDatabase>
#include <QString>

// The journal's entries of a time range as the API and the window show them, read on the store's
// connection, on the store's thread.
class JournalListing
{
public:
    // The entries from..to (ms since the epoch), oldest first; kind "print", "payment" or empty
    // for both. At most `limit`; more says whether others were left out.
    static QJsonArray entries(
        const QSqlDatabase &db, qint64 from, qint64 to, const QString &kind, int limit, bool *more);
};
