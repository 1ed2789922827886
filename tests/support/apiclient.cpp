#include "apiclient.h"

#include "testsupport.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QSslSocket>
#include <QTimer>

QByteArray ApiReply::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QByteArray();
}

QJsonObject ApiReply::envelope() const
{
    return QJsonDocument::fromJson(body).object();
}

ApiReply ApiClient::request(const QByteArray &method, const QByteArray &target, const HeaderList &headers,
    const QByteArray &body) const
{
    const quint16 port = TestSupport::apiPort();
    QByteArray raw
        = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
    for (const auto &header : headers)
        raw += header.first + ": " + header.second + "\r\n";
    raw += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;

    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    socket.write(raw);
    ApiReply reply;
    QByteArray received;
    const auto complete = [&] {
        received += socket.readAll();
        const int headEnd = received.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return false;
        const QList<QByteArray> lines = received.left(headEnd).split('\n');
        reply.headers.clear();
        for (const QByteArray &line : lines.mid(1)) {
            const int colon = line.indexOf(':');
            reply.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
        }
        reply.body = received.mid(headEnd + 4);
        if (reply.body.size() < reply.header("Content-Length").toInt())
            return false;
        const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
        reply.status = statusLine.value(1).toInt();
        reply.reason = statusLine.mid(2).join(' ');
        return true;
    };
    // Until the reply is whole, or the connection is refused or closed before it is.
    QEventLoop loop;
    QObject::connect(&socket, &QSslSocket::readyRead, &loop, [&] {
        if (complete())
            loop.quit();
    });
    QObject::connect(&socket, &QSslSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QSslSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    return complete() ? reply : ApiReply();
}

QJsonObject ApiClient::call(const QByteArray &path, const QJsonObject &body) const
{
    return request("POST", path,
        { { "Content-Type", "application/json" }, { "Authorization", "Bearer " + key.toUtf8() } },
        QJsonDocument(body).toJson(QJsonDocument::Compact))
        .envelope();
}
