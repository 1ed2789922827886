#pragma once

#include "httpserverconfig.h"

#include <QAbstractSocket>
#include <QAtomicInt>
#include <QHostAddress>
#include <QThread>
#include <QTimer>

class HttpBudget;
class HttpRequest;
class HttpRequestHandler;
class QSslConfiguration;
class QTcpSocket;

// The descriptor type that QTcpServer hands to incomingConnection, named so that it can travel
// in a queued invocation.
typedef qintptr tSocketDescriptor;

// A thread with its own event loop that serves one connection at a time on a socket it reuses:
// reads requests within the size limits and the time limits, passes each complete one to the
// request handler, and keeps the connection alive or closes it once its replies are delivered.
//
// Time limits (HttpServerConfig): readTimeoutMs of silence; a request head must complete within
// headTimeoutMs of the connection's start or of the request's first byte, and its body within a
// further headTimeoutMs plus one second per minBodyRate bytes announced, however the bytes trickle
// in. A pipelined request is read once the replies before it have left.
//
// Memory (HttpServerConfig): a body over smallBodySize is read only once it fits in the bodies'
// budget, and a request the request handler answers from its head has its body thrown away.
class HttpConnectionHandler : public QThread
{
    Q_OBJECT
public:
    // The budgets are shared by every handler of a server and outlive them.
    HttpConnectionHandler(const HttpServerConfig &config, HttpRequestHandler *requestHandler,
        const QSslConfiguration *sslConfiguration, HttpBudget *bodyBudget, HttpBudget *replyBudget);
    ~HttpConnectionHandler() override;

    bool isBusy() const { return busy.loadAcquire() != 0; }
    void setBusy() { busy.storeRelease(1); }

    // Milliseconds of the monotonic clock that waitingTime() counts in.
    static qint64 now();
    // How long the connection has waited on its peer (for a request, or for the peer to take a
    // reply), as of `at`; -1 while a request is served or no connection is held. Any thread.
    qint64 waitingTime(qint64 at) const;
    // Whether the connection held has not yet sent a whole request head. Any thread.
    bool isSilent() const { return silent.loadAcquire() != 0; }
    // Whether its TLS handshake is still under way. Any thread.
    bool isHandshaking() const { return handshaking.loadAcquire() != 0; }
    // Whether the peer has opened its TLS handshake (sent its hello). Any thread.
    bool isHelloHeard() const { return helloHeard.loadAcquire() != 0; }
    // Reserves the handler for takeOver(); false when another caller already did. Any thread.
    bool claim() { return claimed.testAndSetOrdered(0, 1); }
    bool isClaimed() const { return claimed.loadAcquire() != 0; }
    // The address of the peer whose connection the handler was last given; the listener's thread
    // only.
    void setPeer(const QHostAddress &address) { peer = address; }
    QHostAddress peerAddress() const { return peer; }

signals:
    // The handler is free for another connection. Emitted on the handler's thread.
    void released();

public slots:
    void handleConnection(tSocketDescriptor socketDescriptor);
    // Drops the connection held (one waiting on its peer) and serves socketDescriptor instead.
    void takeOver(tSocketDescriptor socketDescriptor);

private slots:
    void readTimeout();
    void read();
    void socketError(QAbstractSocket::SocketError socketError);
    void disconnected();
    void deadlineExpired();
    void outputWritten();
    void disconnectWhenWritten();

private:
    void run() override;
    void startReadTimer() { readTimer.start(config.readTimeoutMs); }
    void closeConnection();
    void release();
    // Deletes the request being read, handing the memory of a large one (or of a large reply to
    // it) back to the system.
    void dropRequest(bool largeReply = false);
    qint64 pendingOutput() const;
    // Once a request's head is complete: false when the request has been answered already (by
    // the request handler, or 503 for a body beyond the budget) and its body is to be thrown away.
    bool admitBody();
    void discardBody();

    const HttpServerConfig config;
    QTcpSocket *socket;
    QTimer readTimer;
    QTimer deadlineTimer;
    HttpRequest *currentRequest = nullptr;
    // This thread only.
    bool reading = false;
    bool serving = false;
    bool closing = false;
    bool adopting = false;
    // Bytes of the current request's body taken from bodyBudget; this thread only.
    qint64 reservedBody = 0;
    // Bytes of a refused request's body still to be read and thrown away; this thread only.
    qint64 discarding = 0;
    HttpBudget *bodyBudget;
    HttpBudget *replyBudget;
    HttpRequestHandler *requestHandler;
    // Set by the pool's thread, cleared by this thread: atomic, no lock.
    QAtomicInt busy;
    // Set by the pool's thread under its mutex, cleared by this thread: atomic.
    QAtomicInt claimed;
    // Written by this thread, read by the pool's: atomic. 0 while serving or without connection.
    QAtomicInteger<qint64> waitingSince;
    // Written by this thread, read by the pool's: atomic. 1 until the connection's first head is
    // complete.
    QAtomicInt silent;
    // Written by this thread, read by the pool's: atomic.
    QAtomicInt handshaking;
    // Written by this thread, read by the pool's: atomic.
    QAtomicInt helloHeard;
    const QSslConfiguration *sslConfiguration;
    // The listener's thread only.
    QHostAddress peer;
};
