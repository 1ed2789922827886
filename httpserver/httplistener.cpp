#include "httplistener.h"

#include "httpconnectionhandlerpool.h"
#include "httplog.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Accepted connections that may wait for a handler at once.
constexpr int maxPending = 32;

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

// Whether the peer has sent anything that is still to be read.
bool hasInput(tSocketDescriptor socketDescriptor)
{
    int available = 0;
    return ::ioctl(int(socketDescriptor), FIONREAD, &available) == 0 && available > 0;
}

QHostAddress peerOf(tSocketDescriptor socketDescriptor)
{
    sockaddr_storage address {};
    socklen_t length = sizeof(address);
    if (::getpeername(int(socketDescriptor), reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return QHostAddress();
    return QHostAddress(reinterpret_cast<const sockaddr *>(&address));
}

} // namespace

HttpListener::HttpListener(
    const HttpServerConfig &config, HttpRequestHandler *requestHandler, QObject *parent)
    : QTcpServer(parent)
    , config(config)
    , requestHandler(requestHandler)
    , pendingTimer(new QTimer(this))
{
    // Often enough that a waiting connection is seen to have sent something soon after it did.
    pendingTimer->setInterval(25);
    connect(pendingTimer, &QTimer::timeout, this, &HttpListener::servePending);
    qRegisterMetaType<tSocketDescriptor>("tSocketDescriptor");
    listen();
}

HttpListener::~HttpListener()
{
    close();
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
    for (const Waiting &waiting : qAsConst(pending))
        ::close(int(waiting.descriptor));
    pending.clear();
    pendingTimer->stop();
    qCDebug(lcHttp, "listener closed");
    delete pool;
    pool = nullptr;
}

void HttpListener::incomingConnection(tSocketDescriptor socketDescriptor)
{
    const Waiting connection { socketDescriptor, HttpConnectionHandler::now(), peerOf(socketDescriptor) };
    // A peer at its maximum makes room among its own connections, or is refused.
    if (pool && connectionsOf(connection.peer) >= config.maxConnectionsPerPeer
        && !dropSilentWaiting(&connection.peer)) {
        const QSet<HttpConnectionHandler *> own = pool->handlersOf(connection.peer);
        if (HttpConnectionHandler *handler = pool->reclaimConnectionHandler(&own)) {
            hand(handler, connection, "takeOver");
            return;
        }
        qCDebug(lcHttp, "too many connections from %s", qPrintable(connection.peer.toString()));
        reject(socketDescriptor);
        return;
    }
    if (pending.isEmpty() && dispatch(connection, hasInput(socketDescriptor)))
        return;
    if (pool && (pending.size() < maxPending || dropSilentWaiting())) {
        pending.append(connection);
        pendingTimer->start();
        return;
    }
    qCDebug(lcHttp, "too many incoming connections");
    reject(socketDescriptor);
}

int HttpListener::connectionsOf(const QHostAddress &peer) const
{
    int count = pool->handlersOf(peer).size();
    for (const Waiting &waiting : pending)
        count += waiting.peer == peer ? 1 : 0;
    return count;
}

bool HttpListener::dropSilentWaiting(const QHostAddress *peer)
{
    for (int i = 0; i < pending.size(); ++i) {
        const Waiting &waiting = pending.at(i);
        if ((!peer || waiting.peer == *peer) && !hasInput(waiting.descriptor)) {
            ::close(int(waiting.descriptor));
            pending.removeAt(i);
            return true;
        }
    }
    return false;
}

void HttpListener::hand(HttpConnectionHandler *handler, const Waiting &connection, const char *slot)
{
    handler->setPeer(connection.peer);
    QMetaObject::invokeMethod(
        handler, slot, Qt::QueuedConnection, Q_ARG(tSocketDescriptor, connection.descriptor));
}

bool HttpListener::dispatch(const Waiting &connection, bool mayReclaim)
{
    if (!pool)
        return false;
    if (HttpConnectionHandler *handler = pool->getConnectionHandler()) {
        hand(handler, connection, "handleConnection");
        return true;
    }
    if (HttpConnectionHandler *handler = mayReclaim ? pool->reclaimConnectionHandler() : nullptr) {
        hand(handler, connection, "takeOver");
        return true;
    }
    return false;
}

void HttpListener::servePending()
{
    // Connections that have sent something first, and only they take a handler back from another
    // connection: the others may never send anything.
    const auto serve = [this](bool sentSomething) {
        for (int i = 0; i < pending.size();) {
            if (hasInput(pending.at(i).descriptor) != sentSomething) {
                ++i;
            } else if (dispatch(pending.at(i), sentSomething)) {
                pending.removeAt(i);
            } else {
                return false;
            }
        }
        return true;
    };
    if (serve(true))
        serve(false);
    const qint64 now = HttpConnectionHandler::now();
    while (!pending.isEmpty() && now - pending.first().since >= config.maxQueueWaitMs) {
        qCDebug(lcHttp, "too many incoming connections");
        reject(pending.takeFirst().descriptor);
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
