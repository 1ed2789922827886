#include "httpconnectionhandler.h"

#include "httprequest.h"
#include "httprequesthandler.h"
#include "httpresponse.h"

#include <QScopeGuard>
#include <QSettings>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <unistd.h>

namespace {
// Longest wait for the peer to take one more piece of a reply before the connection is closed.
constexpr int writeTimeoutMs = 30000;
} // namespace

HttpConnectionHandler::HttpConnectionHandler(
    QSettings *settings, HttpRequestHandler *requestHandler, const QSslConfiguration *sslConfiguration)
    : settings(settings)
    , requestHandler(requestHandler)
    , busy(0)
    , sslConfiguration(sslConfiguration)
{
    if (sslConfiguration) {
        auto *sslSocket = new QSslSocket;
        sslSocket->setSslConfiguration(*sslConfiguration);
        socket = sslSocket;
        qDebug("HttpConnectionHandler (%p): SSL is enabled", static_cast<void *>(this));
    } else {
        socket = new QTcpSocket;
    }

    moveToThread(this);
    socket->moveToThread(this);
    readTimer.moveToThread(this);

    connect(socket, &QTcpSocket::readyRead, this, &HttpConnectionHandler::read);
    connect(socket, &QTcpSocket::disconnected, this, &HttpConnectionHandler::disconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &HttpConnectionHandler::socketError);
    connect(&readTimer, &QTimer::timeout, this, &HttpConnectionHandler::readTimeout);
    readTimer.setSingleShot(true);

    qDebug("HttpConnectionHandler (%p): constructed", static_cast<void *>(this));
    start();
}

HttpConnectionHandler::~HttpConnectionHandler()
{
    quit();
    wait();
    qDebug("HttpConnectionHandler (%p): destroyed", static_cast<void *>(this));
}

bool HttpConnectionHandler::isBusy() const
{
    return busy.loadAcquire() != 0;
}

void HttpConnectionHandler::setBusy()
{
    busy.storeRelease(1);
}

void HttpConnectionHandler::run()
{
    qDebug("HttpConnectionHandler (%p): thread started", static_cast<void *>(this));
    try {
        exec();
    } catch (...) {
        qCritical("HttpConnectionHandler (%p): an uncatched exception occured in the thread",
            static_cast<void *>(this));
    }
    socket->close();
    delete socket;
    socket = nullptr;
    readTimer.stop();
    delete currentRequest;
    currentRequest = nullptr;
    qDebug("HttpConnectionHandler (%p): thread stopped", static_cast<void *>(this));
}

void HttpConnectionHandler::handleConnection(tSocketDescriptor socketDescriptor)
{
    qDebug("HttpConnectionHandler (%p): handle new connection", static_cast<void *>(this));
    setBusy();

    // Discards whatever the previous connection left in the write buffer.
    socket->connectToHost(QString(), 0);
    socket->abort();

    if (!socket->setSocketDescriptor(socketDescriptor)) {
        qCritical("HttpConnectionHandler (%p): cannot initialize socket: %s", static_cast<void *>(this),
            qPrintable(socket->errorString()));
        ::close(int(socketDescriptor));
        return;
    }

    if (sslConfiguration) {
        qDebug("HttpConnectionHandler (%p): Starting encryption", static_cast<void *>(this));
        static_cast<QSslSocket *>(socket)->startServerEncryption();
    }

    startReadTimer();

    delete currentRequest;
    currentRequest = nullptr;
}

void HttpConnectionHandler::readTimeout()
{
    qDebug("HttpConnectionHandler (%p): read timeout occured", static_cast<void *>(this));
    closeConnection();
    delete currentRequest;
    currentRequest = nullptr;
}

void HttpConnectionHandler::read()
{
    // Writing a reply on a TLS socket can emit readyRead again from inside service(); the
    // loop below picks those bytes up once the current request is done.
    if (reading)
        return;
    reading = true;
    const auto done = qScopeGuard([this] { reading = false; });

    while (socket->bytesAvailable()) {
        if (!currentRequest)
            currentRequest = new HttpRequest(settings);

        while (socket->bytesAvailable() && currentRequest->getStatus() != HttpRequest::complete
            && currentRequest->getStatus() != HttpRequest::aborted) {
            currentRequest->readFromSocket(socket);
            // A long upload that makes progress must not time out.
            if (currentRequest->getStatus() == HttpRequest::waitingForBody)
                startReadTimer();
        }

        if (currentRequest->getStatus() == HttpRequest::aborted) {
            socket->write(
                "HTTP/1.1 413 entity too large\r\nConnection: close\r\n\r\n413 Entity too large\r\n");
            closeConnection();
            delete currentRequest;
            currentRequest = nullptr;
            return;
        }

        if (currentRequest->getStatus() != HttpRequest::complete)
            return;

        readTimer.stop();
        qDebug("HttpConnectionHandler (%p): received request", static_cast<void *>(this));

        HttpResponse response(socket);
        bool closeAfterReply
            = currentRequest->getHeader("Connection").compare("close", Qt::CaseInsensitive) == 0;
        if (closeAfterReply) {
            response.setHeader("Connection", "close");
        } else if (currentRequest->getVersion().compare("HTTP/1.0", Qt::CaseInsensitive) == 0) {
            // HTTP/1.0 knows no chunked transfer, so its replies end with the connection.
            closeAfterReply = true;
            response.setHeader("Connection", "close");
        }

        try {
            requestHandler->service(*currentRequest, response);
        } catch (...) {
            qCritical("HttpConnectionHandler (%p): An uncatched exception occured in the request handler",
                static_cast<void *>(this));
        }

        if (!response.hasSentLastPart())
            response.write(QByteArray(), true);

        qDebug("HttpConnectionHandler (%p): finished request", static_cast<void *>(this));

        if (!closeAfterReply) {
            const QMap<QByteArray, QByteArray> &headers = response.getHeaders();
            if (headers.value("Connection").compare("close", Qt::CaseInsensitive) == 0)
                closeAfterReply = true;
            else if (headers.contains("Content-Length"))
                closeAfterReply = false;
            else if (headers.value("Transfer-Encoding").compare("chunked", Qt::CaseInsensitive) == 0)
                closeAfterReply = false;
            else
                closeAfterReply = true;
        }

        delete currentRequest;
        currentRequest = nullptr;

        // Requests pipelined behind one that closes the connection are not answered.
        if (closeAfterReply || socket->state() != QAbstractSocket::ConnectedState) {
            closeConnection();
            return;
        }
        startReadTimer();
    }
}

void HttpConnectionHandler::socketError(QAbstractSocket::SocketError)
{
    qDebug() << "Socket Error" << socket->errorString();
}

void HttpConnectionHandler::disconnected()
{
    qDebug("HttpConnectionHandler (%p): disconnected", static_cast<void *>(this));
    socket->close();
    readTimer.stop();
    busy.storeRelease(0);
}

void HttpConnectionHandler::startReadTimer()
{
    readTimer.start(settings->value("readTimeout", 10000).toInt());
}

void HttpConnectionHandler::closeConnection()
{
    while (socket->bytesToWrite() > 0) {
        if (!socket->waitForBytesWritten(writeTimeoutMs))
            break;
    }
    socket->disconnectFromHost();
}
