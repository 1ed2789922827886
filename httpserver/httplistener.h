#pragma once

#include "httpconnectionhandler.h"
#include "httpserverconfig.h"

#include <QList>
#include <QPair>
#include <QTcpServer>

class QTimer;

class HttpConnectionHandlerPool;
class HttpRequestHandler;

// The TCP server of the HTTP(S) service: listens as soon as it is built, hands each accepted
// connection to an idle handler thread of its pool, or else to one whose connection has long
// waited on its peer. A connection for which there is none waits up to maxQueueWaitMs (longer
// than a handler takes to become reclaimable) for a handler to come free, with at most 32 others,
// and is then answered 503 (over TLS on a TLS port).
class HttpListener : public QTcpServer
{
    Q_OBJECT
public:
    HttpListener(
        const HttpServerConfig &config, HttpRequestHandler *requestHandler, QObject *parent = nullptr);
    ~HttpListener() override;

    // Binds to the configured addresses and port (port 0 lets the system choose; serverPort() tells
    // which). An address that cannot be bound is left out; the others still serve.
    void listen();
    // Stops listening and ends every handler thread together with its connection.
    void close();

protected:
    void incomingConnection(tSocketDescriptor socketDescriptor) override;

private:
    // Hands the connection to a handler; false when none is free.
    bool dispatch(tSocketDescriptor socketDescriptor);
    void servePending();
    void reject(tSocketDescriptor socketDescriptor);

    const HttpServerConfig config;
    HttpRequestHandler *requestHandler;
    HttpConnectionHandlerPool *pool = nullptr;
    // Connections being answered 503 at this moment; beyond a few more are just closed.
    int rejecting = 0;
    // Accepted connections waiting for a handler, oldest first, with when each was accepted.
    QList<QPair<tSocketDescriptor, qint64>> pending;
    QTimer *pendingTimer;
    // The addresses after the first, each a server of its own feeding this one.
    QList<QTcpServer *> otherAddresses;
};
