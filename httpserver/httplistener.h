#pragma once

#include "httpconnectionhandler.h"
#include "httpserverconfig.h"

#include <QHostAddress>
#include <QList>
#include <QTcpServer>

class QTimer;

class HttpConnectionHandlerPool;
class HttpRequestHandler;

// The TCP server of the HTTP(S) service: listens as soon as it is built, hands each accepted
// connection to an idle handler thread of its pool, or else to one whose connection has long
// waited on its peer. A connection for which there is none waits up to maxQueueWaitMs (longer
// than a handler takes to become reclaimable) for a handler to come free, with at most 32 others,
// and is then answered 503 (over TLS on a TLS port). Waiting connections that have sent something
// are served first, and only they take handlers back; when the queue is full, or their peer holds
// maxConnectionsPerPeer, the oldest that has sent nothing is closed to make room (for a peer at its
// maximum, else its served connection silent longest).
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
    // An accepted connection waiting for a handler.
    struct Waiting
    {
        tSocketDescriptor descriptor;
        qint64 since;
        QHostAddress peer;
    };

    // Hands the connection to a free handler, or one taken back from another connection when
    // mayReclaim; false when there is none.
    bool dispatch(const Waiting &connection, bool mayReclaim);
    void servePending();
    // Gives the connection to a handler by a queued call of `slot` on the handler's thread.
    void hand(HttpConnectionHandler *handler, const Waiting &connection, const char *slot);
    // Connections of `peer` served or waiting.
    int connectionsOf(const QHostAddress &peer) const;
    // Closes the oldest waiting connection (of `peer`, when given) that has sent nothing.
    bool dropSilentWaiting(const QHostAddress *peer = nullptr);
    void reject(tSocketDescriptor socketDescriptor);

    const HttpServerConfig config;
    HttpRequestHandler *requestHandler;
    HttpConnectionHandlerPool *pool = nullptr;
    // Connections being answered 503 at this moment; beyond a few more are just closed.
    int rejecting = 0;
    // Accepted connections waiting for a handler, oldest first, with when each was accepted.
    QList<Waiting> pending;
    QTimer *pendingTimer;
    // The addresses after the first, each a server of its own feeding this one.
    QList<QTcpServer *> otherAddresses;
};
