#include "httplistener.h"

#include "httpconnectionhandlerpool.h"
#include "httplog.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <unistd.h>

namespace {

// One more address of the service: what it accepts joins the listener's own connections.
class AddressServer : public QTcpServer
{
public:
    AddressServer(std::function<void(qintptr)> take, QObject *parent)
        : QTcpServer(parent)
        , take(std::move(take))
    {
    }

protected:
    void incomingConnection(qintptr socketDescriptor) override { take(socketDescriptor); }

private:
    std::function<void(qintptr)> take;
};

} // namespace

HttpListener::HttpListener(
    const HttpServerConfig &config, HttpRequestHandler *requestHandler, QObject *parent)
    : QTcpServer(parent)
    , config(config)
    , requestHandler(requestHandler)
    , pendingTimer(new QTimer(this))
{
    pendingTimer->setInterval(100);
    connect(pendingTimer, &QTimer::timeout, this, &HttpListener::servePending);
    qRegisterMetaType<tSocketDescriptor>("tSocketDescriptor");
    listen();
}

HttpListener::~HttpListener()
{
    QTcpServer::close();
    qDeleteAll(otherAddresses);
    for (const auto &waiting : qAsConst(pending))
        ::close(int(waiting.first));
    qCDebug(lcHttp, "listener closed");
    delete pool;
    qCDebug(lcHttp, "listener destroyed");
}

void HttpListener::listen()
{
    if (isListening())
        return;
    if (!pool) {
        pool = new HttpConnectionHandlerPool(config, requestHandler);
        connect(pool, &HttpConnectionHandlerPool::handlerReleased, this, &HttpListener::servePending,
            Qt::QueuedConnection);
    }
    const int port = config.port;
    if (pool->tlsUnavailable()) {
        qCCritical(lcHttp, "not listening on port %i without its TLS key and certificate", port);
        return;
    }
    for (const QHostAddress &address : config.addresses) {
        const QString name = address.toString();
        if (!isListening()) {
            if (QTcpServer::listen(address, config.port))
                qCDebug(lcHttp, "listening on %s port %i", qPrintable(name), int(serverPort()));
            else
                qCCritical(
                    lcHttp, "cannot bind %s port %i: %s", qPrintable(name), port, qPrintable(errorString()));
            continue;
        }
        auto *other = new AddressServer(
            [this](qintptr socketDescriptor) { incomingConnection(socketDescriptor); }, this);
        if (other->listen(address, serverPort())) {
            otherAddresses << other;
            qCDebug(lcHttp, "listening on %s port %i", qPrintable(name), int(serverPort()));
        } else {
            qCCritical(lcHttp, "cannot bind %s port %i: %s", qPrintable(name), int(serverPort()),
                qPrintable(other->errorString()));
            delete other;
        }
    }
}

void HttpListener::close()
{
    QTcpServer::close();
    qDeleteAll(otherAddresses);
    otherAddresses.clear();
    for (const auto &waiting : qAsConst(pending))
        ::close(int(waiting.first));
    pending.clear();
    pendingTimer->stop();
    qCDebug(lcHttp, "listener closed");
    delete pool;
    pool = nullptr;
}

void HttpListener::incomingConnection(tSocketDescriptor socketDescriptor)
{
    if (pending.isEmpty() && dispatch(socketDescriptor))
        return;
    if (pool && pending.size() < 32) {
        pending.append(qMakePair(socketDescriptor, HttpConnectionHandler::now()));
        pendingTimer->start();
        return;
    }
    qCDebug(lcHttp, "too many incoming connections");
    reject(socketDescriptor);
}

bool HttpListener::dispatch(tSocketDescriptor socketDescriptor)
{
    HttpConnectionHandler *handler = pool ? pool->getConnectionHandler() : nullptr;
    if (handler) {
        QMetaObject::invokeMethod(
            handler, "handleConnection", Qt::QueuedConnection, Q_ARG(tSocketDescriptor, socketDescriptor));
        return true;
    }
    handler = pool ? pool->reclaimConnectionHandler() : nullptr;
    if (handler) {
        QMetaObject::invokeMethod(
            handler, "takeOver", Qt::QueuedConnection, Q_ARG(tSocketDescriptor, socketDescriptor));
        return true;
    }
    return false;
}

void HttpListener::servePending()
{
    const qint64 maxWait = config.maxQueueWaitMs;
    while (!pending.isEmpty()) {
        const auto waiting = pending.first();
        if (dispatch(waiting.first)) {
            pending.removeFirst();
        } else if (HttpConnectionHandler::now() - waiting.second >= maxWait) {
            pending.removeFirst();
            qCDebug(lcHttp, "too many incoming connections");
            reject(waiting.first);
        } else {
            break;
        }
    }
    if (pending.isEmpty())
        pendingTimer->stop();
}

void HttpListener::reject(tSocketDescriptor socketDescriptor)
{
    static constexpr int maxRejecting = 32;
    static constexpr int rejectTimeoutMs = 5000;
    const QSslConfiguration *tls = pool ? pool->sslConfiguration() : nullptr;
    QTcpSocket *socket = nullptr;
    if (tls) {
        auto *sslSocket = new QSslSocket(this);
        sslSocket->setSslConfiguration(*tls);
        socket = sslSocket;
    } else {
        socket = new QTcpSocket(this);
    }
    if (rejecting >= maxRejecting || !socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        ::close(int(socketDescriptor));
        return;
    }
    ++rejecting;
    connect(socket, &QObject::destroyed, this, [this] { --rejecting; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // A peer that neither completes the handshake nor takes the reply is dropped.
    QTimer::singleShot(rejectTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    // Disconnecting once the reply has left; not from inside the socket's signals, which a TLS
    // socket emits while it is still sending.
    const auto answer = [socket] {
        socket->write(
            "HTTP/1.1 503 too many connections\r\nConnection: close\r\n\r\nToo many connections\r\n");
        socket->setProperty("answered", true);
        socket->flush();
    };
    // The handshake's own bytes are reported written too, before the reply exists.
    const auto disconnectWhenWritten = [socket] {
        const auto *sslSocket = qobject_cast<QSslSocket *>(socket);
        if (socket->property("answered").toBool() && socket->bytesToWrite() == 0
            && (!sslSocket || sslSocket->encryptedBytesToWrite() == 0))
            socket->disconnectFromHost();
    };
    if (tls) {
        auto *sslSocket = static_cast<QSslSocket *>(socket);
        connect(sslSocket, &QSslSocket::encrypted, sslSocket, answer, Qt::QueuedConnection);
        connect(sslSocket, &QSslSocket::encryptedBytesWritten, sslSocket, disconnectWhenWritten,
            Qt::QueuedConnection);
        sslSocket->startServerEncryption();
    } else {
        answer();
        socket->disconnectFromHost();
    }
}
