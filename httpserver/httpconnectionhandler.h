#pragma once

#include <QAbstractSocket>
#include <QAtomicInt>
#include <QThread>
#include <QTimer>

class HttpRequest;
class HttpRequestHandler;
class QSettings;
class QSslConfiguration;
class QTcpSocket;

// The descriptor type that QTcpServer hands to incomingConnection, named so that it can travel
// in a queued invocation.
typedef qintptr tSocketDescriptor;

// A thread with its own event loop that serves one connection at a time on a socket it reuses:
// reads requests within the size limits and the read time-out, passes each complete one to the
// request handler, and keeps the connection alive or closes it.
class HttpConnectionHandler : public QThread
{
    Q_OBJECT
public:
    HttpConnectionHandler(QSettings *settings, HttpRequestHandler *requestHandler,
        const QSslConfiguration *sslConfiguration = nullptr);
    ~HttpConnectionHandler() override;

    bool isBusy() const;
    void setBusy();

public slots:
    void handleConnection(tSocketDescriptor socketDescriptor);

private slots:
    void readTimeout();
    void read();
    void socketError(QAbstractSocket::SocketError socketError);
    void disconnected();

private:
    void run() override;
    void startReadTimer();
    void closeConnection();

    // Read from this thread and the pool's; QSettings serialises access to its file under its own lock.
    QSettings *settings;
    QTcpSocket *socket;
    QTimer readTimer;
    HttpRequest *currentRequest = nullptr;
    bool reading = false;
    HttpRequestHandler *requestHandler;
    // Set by the pool's thread, cleared by this thread: atomic, no lock.
    QAtomicInt busy;
    const QSslConfiguration *sslConfiguration;
};
