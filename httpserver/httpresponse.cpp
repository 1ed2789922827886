#include "httpresponse.h"

#include "httpbudget.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSslSocket>
#include <QTcpSocket>

namespace {
// Bytes left queued in the socket before a write waits for the peer to take some.
// A reply up to this size is handed to the socket at once, so a peer that stops reading holds a
// waiting handler the listener can take back, not one blocked inside the request handler.
constexpr qint64 maxQueuedBytes = 1 << 20;
} // namespace

HttpResponse::HttpResponse(QTcpSocket *socket)
    : socket(socket)
{
}

void HttpResponse::setReplyBudget(HttpBudget *budget, int stalledMs)
{
    replyBudget = budget;
    stalledReplyMs = stalledMs;
}

void HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    if (!sentHeaders)
        headers.insert(name, value);
}

void HttpResponse::setStatus(int statusCode, const QByteArray &description)
{
    if (sentHeaders)
        return;
    this->statusCode = statusCode;
    statusText = description;
}

void HttpResponse::write(const QByteArray &data, bool lastPart)
{
    if (!sentHeaders) {
        if (lastPart) {
            headers.insert("Content-Length", QByteArray::number(data.size()));
        } else {
            const QByteArray connection = headers.value("Connection", headers.value("connection"));
            if (connection.compare("close", Qt::CaseInsensitive) != 0) {
                headers.insert("Transfer-Encoding", "chunked");
                chunkedMode = true;
            }
        }
        writeHeaders();
    }
    if (!data.isEmpty()) {
        if (chunkedMode)
            writeToSocket(QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n");
        else
            writeToSocket(data);
    }
    if (lastPart) {
        if (chunkedMode)
            writeToSocket("0\r\n\r\n");
        socket->flush();
        sentLastPart = true;
    }
}

void HttpResponse::setCookie(const HttpCookie &cookie)
{
    if (!sentHeaders && !cookie.getName().isEmpty())
        cookies.insert(cookie.getName(), cookie);
}

void HttpResponse::redirect(const QByteArray &url)
{
    setStatus(303, "See Other");
    setHeader("Location", url);
    write("Redirect", true);
}

void HttpResponse::flush()
{
    socket->flush();
}

bool HttpResponse::isConnected() const
{
    return socket->isOpen();
}

void HttpResponse::writeHeaders()
{
    QByteArray buffer = "HTTP/1.1 " + QByteArray::number(statusCode) + ' ' + statusText + "\r\n";
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        buffer += it.key() + ": " + it.value() + "\r\n";
    for (const HttpCookie &cookie : qAsConst(cookies))
        buffer += "Set-Cookie: " + cookie.toByteArray() + "\r\n";
    buffer += "\r\n";
    writeToSocket(buffer);
    sentHeaders = true;
}

qint64 HttpResponse::queuedBytes() const
{
    // A TLS socket encrypts at once: what waits for the peer is mostly in its encrypted buffer.
    const auto *sslSocket = qobject_cast<const QSslSocket *>(socket);
    return socket->bytesToWrite() + (sslSocket ? sslSocket->encryptedBytesToWrite() : 0);
}

bool HttpResponse::writeToSocket(const QByteArray &data)
{
    qint64 written = 0;
    qint64 counted = 0;
    const auto uncount = qScopeGuard([&] {
        if (replyBudget)
            replyBudget->release(counted);
    });
    while (socket->isOpen() && written < data.size()) {
        if (queuedBytes() > maxQueuedBytes) {
            if (replyBudget) {
                const qint64 held = queuedBytes() + data.size() - written;
                replyBudget->add(held - counted);
                counted = held;
            }
            if (!waitForPeer()) {
                if (socket->state() == QAbstractSocket::ConnectedState)
                    socket->abort();
                return false;
            }
            continue;
        }
        const qint64 count
            = socket->write(data.constData() + written, qMin<qint64>(data.size() - written, maxQueuedBytes));
        if (count == -1)
            return false;
        written += count;
        sent += count;
    }
    return true;
}

bool HttpResponse::waitForPeer()
{
    const int slice = replyBudget ? qMax(1, qMin(writeTimeoutMs, stalledReplyMs)) : writeTimeoutMs;
    QElapsedTimer stalled;
    stalled.start();
    while (socket->isOpen() && queuedBytes() > maxQueuedBytes) {
        QElapsedTimer waited;
        waited.start();
        if (socket->waitForBytesWritten(slice)) {
            stalled.restart();
            continue;
        }
        // An error ends the wait at once; only a quiet peer is waited on again.
        if (waited.elapsed() < slice || socket->state() != QAbstractSocket::ConnectedState)
            return false;
        const qint64 quiet = stalled.elapsed();
        if (quiet >= writeTimeoutMs || (replyBudget && replyBudget->exceeded() && quiet >= stalledReplyMs))
            return false;
    }
    return true;
}
