#pragma once

#include "httpconnectionhandler.h"

#include <QTcpServer>

class HttpConnectionHandlerPool;
class HttpRequestHandler;
class QSettings;

// The TCP server of the HTTP(S) service: listens as soon as it is built, hands each accepted
// connection to an idle handler thread of its pool, and answers 503 when none is left.
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
    QSettings *settings;
    HttpRequestHandler *requestHandler;
    HttpConnectionHandlerPool *pool = nullptr;
};
