#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

class HttpRequest;

// What a call to the API carries, read once from either form it comes in: members of a JSON
// object body (a JSON content type) or query and form parameters (any other). Routes read these
// values and never the HTTP request.
class ApiRequest
{
public:
    static ApiRequest decode(const HttpRequest &request);
    // What the head alone tells: the route, the origin, the key of "Authorization" and the mode.
    static ApiRequest decodeHead(const HttpRequest &request);

    // The path without its one trailing slash ("/" stays).
    QByteArray route;
    QByteArray origin;
    bool json = false;
    // A JSON body that does not parse.
    bool invalidJson = false;
    // From "Authorization: Bearer", else from the body or the parameters.
    QString key;
    QString printer;
    QString tpaPort;
    QString terminalTpaId;
    QString tpaId;
    QString datetime;
    QString amount;
    int jobId = 0;
    // "requestId": empty when not given (or given empty); requestIdValid is false for a value that
    // is no text of 1 to 128 printable ASCII characters.
    QString requestId;
    bool requestIdValid = true;
    // The range and kind of "/getJournal".
    QString from;
    QString to;
    QString kind;
    bool withNotifications = false;
    // The JSON object body; in form mode the notification's parameters with their JSON types.
    QJsonObject body;
    // The job's commands; false when a form's "job" is no JSON array.
    bool jobWellFormed = true;
    QJsonArray job;

    // The decoded path without the query string, also while the body is still to come.
    static QByteArray pathOf(const HttpRequest &request);
    // Header and parameter values are UTF-8; a NUL ends them.
    static QString text(const QByteArray &value);
};
