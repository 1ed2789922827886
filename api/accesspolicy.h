#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class ApiRequest;

// Who may call the API: the browser origins whose pages may read its replies, and the key.
class AccessPolicy
{
public:
    // The value of "Access-Control-Allow-Origin" for a request's "Origin".
    static QByteArray allowedOrigin(const QByteArray &origin);
    // Whether a call is refused before any route runs, in this order: an origin whose pages may
    // not read the replies (403), then, when checkKey, a key other than `expected` (401). Fills
    // the reply and its status when so.
    static bool refused(
        const ApiRequest &request, bool checkKey, const QString &expected, QJsonObject &result, int &status);
};
