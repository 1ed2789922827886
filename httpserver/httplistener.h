#pragma once

#include "httpconnectionhandler.h"

#include <QTcpServer>

class HttpConnectionHandlerPool;
class HttpRequestHandler;
class QSettings;

// The TCP server of the HTTP(S) service: listens as soon as it is built, hands each accepted
// connection to an idle handler thread of its pool, or else to one whose connection has long
// waited on its peer, and answers 503 (over TLS on a TLS port) when none is left.
class HttpListener : public QTcpServer
{
    Q_OBJECT
public:
    HttpListener(QSettings *settings, HttpRequestHandler *requestHandler, QObject *parent = nullptr);
    ~HttpListener() override;

    // Binds to "host" and "port" ("port" 0 lets the system choose; serverPort() tells which).
    void listen();
    // Stops listening and ends every handler thread together with its connection.
    void close();

protected:
    void incomingConnection(tSocketDescriptor socketDescriptor) override;

private:
    void reject(tSocketDescriptor socketDescriptor);

    QSettings *settings;
    HttpRequestHandler *requestHandler;
    HttpConnectionHandlerPool *pool = nullptr;
    // Connections being answered 503 at this moment; beyond a few more are just closed.
    int rejecting = 0;
};
