#include "httpconnectionhandler.h"

#include "httpbudget.h"
#include "httplog.h"
#include "httprequest.h"
#include "httprequesthandler.h"
#include "httpresponse.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// What the socket buffers of a request beyond what is parsed; the rest waits in the kernel.
constexpr qint64 readBufferSize = 65536;
// A request at least this large leaves freed memory worth handing back to the system.
constexpr qint64 largeRequestSize = 1 << 20;
} // namespace

HttpConnectionHandler::HttpConnectionHandler(const HttpServerConfig &config,
    HttpRequestHandler *requestHandler, const QSslConfiguration *sslConfiguration, HttpBudget *bodyBudget,
    HttpBudget *replyBudget)
    : config(config)
    , bodyBudget(bodyBudget)
    , replyBudget(replyBudget)
    , requestHandler(requestHandler)
    , sslConfiguration(sslConfiguration)
{
    if (sslConfiguration) {
        auto *sslSocket = new QSslSocket;
        sslSocket->setSslConfiguration(*sslConfiguration);
        connect(sslSocket, &QSslSocket::encryptedBytesWritten, this, &HttpConnectionHandler::outputWritten);
        connect(sslSocket, &QSslSocket::encrypted, this, [this] { handshaking.storeRelease(0); });
        // A server speaks in a handshake only once the peer's hello has come.
        connect(sslSocket, &QSslSocket::encryptedBytesWritten, this, [this] { helloHeard.storeRelease(1); });
        socket = sslSocket;
        qCDebug(lcHttp, "handler %p: TLS is enabled", static_cast<void *>(this));
    } else {
        socket = new QTcpSocket;
    }
    socket->setReadBufferSize(readBufferSize);

    moveToThread(this);
    socket->moveToThread(this);
    readTimer.moveToThread(this);
    deadlineTimer.moveToThread(this);

    connect(socket, &QTcpSocket::readyRead, this, &HttpConnectionHandler::read);
    connect(socket, &QTcpSocket::disconnected, this, &HttpConnectionHandler::disconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &HttpConnectionHandler::socketError);
    connect(socket, &QTcpSocket::bytesWritten, this, &HttpConnectionHandler::outputWritten);
    connect(&readTimer, &QTimer::timeout, this, &HttpConnectionHandler::readTimeout);
    connect(&deadlineTimer, &QTimer::timeout, this, &HttpConnectionHandler::deadlineExpired);
    readTimer.setSingleShot(true);
    deadlineTimer.setSingleShot(true);

    qCDebug(lcHttp, "handler %p: constructed", static_cast<void *>(this));
    start();
}

HttpConnectionHandler::~HttpConnectionHandler()
{
    quit();
    wait();
    qCDebug(lcHttp, "handler %p: destroyed", static_cast<void *>(this));
}

qint64 HttpConnectionHandler::now()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    // Never 0, which stands for "not waiting".
    return clock.elapsed() + 1;
}

qint64 HttpConnectionHandler::waitingTime(qint64 at) const
{
    const qint64 since = waitingSince.loadAcquire();
    return since == 0 ? -1 : at - since;
}

void HttpConnectionHandler::run()
{
    qCDebug(lcHttp, "handler %p: thread started", static_cast<void *>(this));
    try {
        exec();
    } catch (...) {
        qCCritical(lcHttp, "handler %p: an exception escaped the thread", static_cast<void *>(this));
    }
    socket->close();
    delete socket;
    socket = nullptr;
    readTimer.stop();
    deadlineTimer.stop();
    dropRequest();
    qCDebug(lcHttp, "handler %p: thread stopped", static_cast<void *>(this));
}

void HttpConnectionHandler::handleConnection(tSocketDescriptor socketDescriptor)
{
    qCDebug(lcHttp, "handler %p: handle new connection", static_cast<void *>(this));
    setBusy();
    closing = false;
    discarding = 0;

    // Discards whatever the previous connection left in the write buffer.
    adopting = true;
    socket->connectToHost(QString(), 0);
    socket->abort();
    adopting = false;

    if (!socket->setSocketDescriptor(socketDescriptor)) {
        qCCritical(lcHttp, "handler %p: cannot initialize socket: %s", static_cast<void *>(this),
            qPrintable(socket->errorString()));
        ::close(int(socketDescriptor));
        return;
    }
    silent.storeRelease(1);
    waitingSince.storeRelease(now());
    // Replies go out in pieces; Nagle's algorithm would hold each one for the peer's delayed ACK.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    if (sslConfiguration) {
        qCDebug(lcHttp, "handler %p: starting encryption", static_cast<void *>(this));
        handshaking.storeRelease(1);
        helloHeard.storeRelease(0);
        static_cast<QSslSocket *>(socket)->startServerEncryption();
    }

    startReadTimer();
    // The handshake and the first request's head share one time limit.
    deadlineTimer.start(config.headTimeoutMs);

    delete currentRequest;
    currentRequest = nullptr;
}

void HttpConnectionHandler::takeOver(tSocketDescriptor socketDescriptor)
{
    qCDebug(lcHttp, "handler %p: taking over for a new connection", static_cast<void *>(this));
    adopting = true;
    socket->abort();
    adopting = false;
    dropRequest();
    handleConnection(socketDescriptor);
    claimed.storeRelease(0);
}

void HttpConnectionHandler::readTimeout()
{
    qCDebug(lcHttp, "handler %p: read timeout", static_cast<void *>(this));
    // A peer that has not taken its reply within the time limit is not going to.
    if (closing)
        socket->abort();
    else
        closeConnection();
    dropRequest();
}

void HttpConnectionHandler::deadlineExpired()
{
    qCDebug(lcHttp, "handler %p: request not complete in time", static_cast<void *>(this));
    closeConnection();
    dropRequest();
}

void HttpConnectionHandler::dropRequest(bool largeReply)
{
    if (!currentRequest)
        return;
    const bool large = largeReply || currentRequest->receivedSize() >= largeRequestSize;
    delete currentRequest;
    currentRequest = nullptr;
    bodyBudget->release(reservedBody);
    reservedBody = 0;
#ifdef __GLIBC__
    // Each connection thread has its own malloc arena, which keeps what it freed.
    if (large)
        malloc_trim(0);
#else
    Q_UNUSED(large)
#endif
}

qint64 HttpConnectionHandler::pendingOutput() const
{
    qint64 pending = socket->bytesToWrite();
    if (sslConfiguration)
        pending += static_cast<const QSslSocket *>(socket)->encryptedBytesToWrite();
    return pending;
}

void HttpConnectionHandler::outputWritten()
{
    if (closing) {
        // Not from inside the socket's own signal: a TLS socket is still sending then.
        if (pendingOutput() == 0)
            QMetaObject::invokeMethod(
                this, &HttpConnectionHandler::disconnectWhenWritten, Qt::QueuedConnection);
        return;
    }
    // Requests that waited for the peer to take its replies.
    if (!currentRequest && socket->bytesAvailable() > 0)
        read();
}

void HttpConnectionHandler::disconnectWhenWritten()
{
    if (closing && pendingOutput() == 0 && socket->state() == QAbstractSocket::ConnectedState)
        socket->disconnectFromHost();
}

void HttpConnectionHandler::read()
{
    // Writing a reply on a TLS socket can emit readyRead again from inside service(); the
    // loop below picks those bytes up once the current request is done.
    if (reading || closing)
        return;
    reading = true;
    const auto done = qScopeGuard([this] { reading = false; });

    while (socket->bytesAvailable()) {
        if (discarding > 0) {
            discardBody();
            return;
        }
        if (!currentRequest) {
            // A pipelined request waits until the earlier replies have left: a peer that does not
            // read them then holds no more than one reply, and never a handler inside service().
            if (pendingOutput() > 0)
                return;
            currentRequest = new HttpRequest(config);
            if (!deadlineTimer.isActive())
                deadlineTimer.start(config.headTimeoutMs);
        }

        while (socket->bytesAvailable() && currentRequest->getStatus() != HttpRequest::complete
            && currentRequest->getStatus() != HttpRequest::aborted) {
            const HttpRequest::RequestStatus before = currentRequest->getStatus();
            currentRequest->readFromSocket(socket);
            if (currentRequest->getStatus() == HttpRequest::waitingForBody) {
                if (before != HttpRequest::waitingForBody) {
                    silent.storeRelease(0);
                    const qint64 rate = qMax(1, config.minBodyRate);
                    deadlineTimer.start(int(qMin<qint64>(INT_MAX,
                        config.headTimeoutMs + qint64(currentRequest->announcedBodySize()) * 1000 / rate)));
                    if (!admitBody()) {
                        discardBody();
                        return;
                    }
                }
                // A long upload that makes progress must not time out for silence.
                startReadTimer();
            }
        }

        if (currentRequest->getStatus() == HttpRequest::aborted) {
            socket->write(
                "HTTP/1.1 413 entity too large\r\nConnection: close\r\n\r\n413 Entity too large\r\n");
            closeConnection();
            dropRequest();
            return;
        }

        if (currentRequest->getStatus() != HttpRequest::complete)
            return;

        readTimer.stop();
        deadlineTimer.stop();
        silent.storeRelease(0);
        waitingSince.storeRelease(0);
        qCDebug(lcHttp, "handler %p: received request", static_cast<void *>(this));

        HttpResponse response(socket);
        response.setWriteTimeout(config.readTimeoutMs);
        response.setReplyBudget(replyBudget, config.stalledReplyMs);
        // HTTP/1.0 knows no chunked transfer, so its replies end with the connection.
        bool closeAfterReply
            = currentRequest->getHeader("Connection").compare("close", Qt::CaseInsensitive) == 0
            || currentRequest->getVersion().compare("HTTP/1.0", Qt::CaseInsensitive) == 0;
        if (closeAfterReply)
            response.setHeader("Connection", "close");

        serving = true;
        try {
            requestHandler->service(*currentRequest, response);
        } catch (...) {
            qCCritical(
                lcHttp, "handler %p: an exception escaped the request handler", static_cast<void *>(this));
        }

        if (!response.hasSentLastPart())
            response.write(QByteArray(), true);
        serving = false;

        qCDebug(lcHttp, "handler %p: finished request", static_cast<void *>(this));

        if (!closeAfterReply) {
            // A reply with neither a length nor chunks ends with the connection.
            const QMap<QByteArray, QByteArray> &headers = response.getHeaders();
            closeAfterReply = headers.value("Connection").compare("close", Qt::CaseInsensitive) == 0
                || (!headers.contains("Content-Length")
                    && headers.value("Transfer-Encoding").compare("chunked", Qt::CaseInsensitive) != 0);
        }

        dropRequest(response.sentSize() >= largeRequestSize);

        if (socket->state() != QAbstractSocket::ConnectedState) {
            release();
            return;
        }
        waitingSince.storeRelease(now());
        // Requests pipelined behind one that closes the connection are not answered.
        if (closeAfterReply) {
            closeConnection();
            return;
        }
        startReadTimer();
    }
}

bool HttpConnectionHandler::admitBody()
{
    const qint64 announced = currentRequest->announcedBodySize();
    HttpResponse response(socket);
    response.setWriteTimeout(config.readTimeoutMs);
    // The body is not read: nothing more can follow on this connection.
    response.setHeader("Connection", "close");
    bool answered = false;
    try {
        answered = requestHandler->answerBeforeBody(*currentRequest, response);
    } catch (...) {
        qCCritical(lcHttp, "handler %p: an exception escaped the request handler", static_cast<void *>(this));
    }
    if (answered) {
        if (!response.hasSentLastPart())
            response.write(QByteArray(), true);
    } else if (announced > config.smallBodySize && !bodyBudget->reserve(announced)) {
        qCWarning(lcRefused, "too many large requests at once");
        socket->write("HTTP/1.1 503 too many large requests\r\nConnection: close\r\n\r\n"
                      "Too many large requests\r\n");
    } else {
        if (announced > config.smallBodySize)
            reservedBody = announced;
        return true;
    }
    dropRequest();
    // Read to its end before the connection closes, so that the peer, still sending, gets the
    // reply rather than a reset.
    discarding = announced;
    return false;
}

void HttpConnectionHandler::discardBody()
{
    bool progress = false;
    while (discarding > 0 && socket->bytesAvailable() > 0) {
        const qint64 count = socket->read(qMin(discarding, readBufferSize)).size();
        if (count <= 0)
            break;
        discarding -= count;
        progress = true;
    }
    if (discarding == 0)
        closeConnection();
    else if (progress)
        startReadTimer();
}

void HttpConnectionHandler::socketError(QAbstractSocket::SocketError)
{
    qCDebug(
        lcHttp, "handler %p: socket error: %s", static_cast<void *>(this), qPrintable(socket->errorString()));
}

void HttpConnectionHandler::disconnected()
{
    qCDebug(lcHttp, "handler %p: disconnected", static_cast<void *>(this));
    socket->close();
    readTimer.stop();
    deadlineTimer.stop();
    if (!serving)
        dropRequest();
    // A connection lost while serving is released once the request is done; one dropped to adopt
    // another keeps the handler.
    if (!serving && !adopting)
        release();
}

void HttpConnectionHandler::release()
{
    closing = false;
    waitingSince.storeRelease(0);
    busy.storeRelease(0);
    emit released();
}

void HttpConnectionHandler::closeConnection()
{
    // The connection ends once the peer has taken every byte of the replies; the read timer
    // bounds the wait.
    closing = true;
    deadlineTimer.stop();
    startReadTimer();
    disconnectWhenWritten();
}
