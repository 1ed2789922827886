#pragma once

#include "testhttpclient.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// A client of the program's HTTPS API on 127.0.0.1: requests go one after the other over one
// kept-alive TLS connection, opened again whenever the server has closed it. It waits while the
// event loop runs, so simulators and servers of the test keep working meanwhile.
class ApiClient
{
public:
    explicit ApiClient(quint16 port = 5080);
    ~ApiClient();

    void setKey(const QString &key) { m_key = key; }
    QString key() const { return m_key; }

    // Sends exactly these headers (plus Host and Content-Length) and body. A reply with status 0
    // means that none came.
    TestHttpResponse request(const QByteArray &method, const QByteArray &target,
        const HeaderList &headers = HeaderList(), const QByteArray &body = QByteArray());
    // POST of a JSON body with "Authorization: Bearer <key>"; the reply's envelope (empty when
    // the reply was not a JSON object).
    QJsonObject call(const QByteArray &path, const QJsonObject &body = QJsonObject());
    TestHttpResponse lastResponse() const { return m_last; }

    static QJsonObject envelope(const TestHttpResponse &response);

private:
    // False when the connection failed before any byte of a reply came.
    bool send(const QByteArray &method, const QByteArray &target, const HeaderList &headers,
        const QByteArray &body);

    quint16 m_port;
    QString m_key;
    std::unique_ptr<TestHttpClient> m_client;
    TestHttpResponse m_last;
};
