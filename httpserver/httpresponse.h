#pragma once

#include "httpcookie.h"

#include <QByteArray>
#include <QMap>

class HttpBudget;
class QTcpSocket;

// One HTTP/1.1 response written onto the connection's socket. A body written in one piece as the
// last part goes out with "Content-Length"; a body in several parts is chunked unless the
// connection is being closed.
class HttpResponse
{
public:
    explicit HttpResponse(QTcpSocket *socket);

    void setHeader(const QByteArray &name, const QByteArray &value);
    void setHeader(const QByteArray &name, int value) { setHeader(name, QByteArray::number(value)); }
    QMap<QByteArray, QByteArray> &getHeaders() { return headers; }

    void setStatus(int statusCode, const QByteArray &description = QByteArray());
    int getStatusCode() const { return statusCode; }

    // Must not be called again once the last part has been sent. When the peer takes no part of
    // the reply within the write timeout, the connection is dropped and the rest is discarded.
    void write(const QByteArray &data, bool lastPart = false);
    void setWriteTimeout(int milliseconds) { writeTimeoutMs = milliseconds; }
    // What the reply holds while it waits on its peer counts against `budget`; while the budget is
    // exceeded, a peer that takes nothing for stalledMs loses the connection.
    void setReplyBudget(HttpBudget *budget, int stalledMs);
    // Bytes handed to the socket so far, head and framing included.
    qint64 sentSize() const { return sent; }
    bool hasSentLastPart() const { return sentLastPart; }

    void setCookie(const HttpCookie &cookie);
    QMap<QByteArray, HttpCookie> &getCookies() { return cookies; }

    void redirect(const QByteArray &url);
    void flush();
    bool isConnected() const;

private:
    void writeHeaders();
    bool writeToSocket(const QByteArray &data);
    // Waits until the socket's queue is short enough again; false when the peer gave up or is
    // given up on.
    bool waitForPeer();
    qint64 queuedBytes() const;

    QMap<QByteArray, QByteArray> headers;
    QTcpSocket *socket;
    int statusCode = 200;
    QByteArray statusText = "OK";
    bool sentHeaders = false;
    bool sentLastPart = false;
    bool chunkedMode = false;
    int writeTimeoutMs = 30000;
    HttpBudget *replyBudget = nullptr;
    int stalledReplyMs = 0;
    qint64 sent = 0;
    QMap<QByteArray, HttpCookie> cookies;
};
