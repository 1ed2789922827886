#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct ApiReply
{
    int status = 0; // 0: no complete reply came
    QByteArray reason;
    HeaderList headers;
    QByteArray body;

    // The first value of a header, its name compared case-insensitively.
    QByteArray header(const QByteArray &name) const;
    // The body as a JSON object (empty when it is none).
    QJsonObject envelope() const;
};

// A client of the program's HTTPS API on 127.0.0.1 at TestSupport::apiPort(). Each request goes on a
// connection of its own, written exactly as given (plus Host and Content-Length); it waits while the event
// loop runs, so that simulators and servers of the test keep working meanwhile.
class ApiClient
{
public:
    explicit ApiClient(const QString &key = QString())
        : key(key)
    {
    }

    ApiReply request(const QByteArray &method, const QByteArray &target, const HeaderList &headers = {},
        const QByteArray &body = QByteArray()) const;
    // POST of a JSON body with "Authorization: Bearer <key>"; the reply's envelope.
    QJsonObject call(const QByteArray &path, const QJsonObject &body = QJsonObject()) const;

    QString key;
};
