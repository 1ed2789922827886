#include "httplistener.h"

#include "httpconnectionhandlerpool.h"

#include <QSettings>
#include <QTcpSocket>

#include <unistd.h>

HttpListener::HttpListener(QSettings *settings, HttpRequestHandler *requestHandler, QObject *parent)
    : QTcpServer(parent)
    , settings(settings)
    , requestHandler(requestHandler)
{
    qRegisterMetaType<tSocketDescriptor>("tSocketDescriptor");
    listen();
}

HttpListener::~HttpListener()
{
    QTcpServer::close();
    qDebug("HttpListener: closed");
    delete pool;
    qDebug("HttpListener: destroyed");
}

void HttpListener::listen()
{
    if (isListening())
        return;
    if (!pool)
        pool = new HttpConnectionHandlerPool(settings, requestHandler);
    const QString host = settings->value("host").toString();
    const int port = settings->value("port").toInt();
    if (pool->tlsUnavailable()) {
        qCritical("HttpListener: not listening on port %i without its TLS key and certificate", port);
        return;
    }
    if (QTcpServer::listen(
            host.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(host), quint16(port)))
        qDebug("HttpListener: Listening on port %i", int(serverPort()));
    else
        qCritical("HttpListener: Cannot bind on port %i: %s", port, qPrintable(errorString()));
}

void HttpListener::close()
{
    QTcpServer::close();
    qDebug("HttpListener: closed");
    delete pool;
    pool = nullptr;
}

void HttpListener::incomingConnection(tSocketDescriptor socketDescriptor)
{
    HttpConnectionHandler *handler = pool ? pool->getConnectionHandler() : nullptr;
    if (handler) {
        QMetaObject::invokeMethod(
            handler, "handleConnection", Qt::QueuedConnection, Q_ARG(tSocketDescriptor, socketDescriptor));
        return;
    }

    qDebug("HttpListener: Too many incoming connections");
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        ::close(int(socketDescriptor));
        return;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write("HTTP/1.1 503 too many connections\r\nConnection: close\r\n\r\nToo many connections\r\n");
    socket->disconnectFromHost();
}
