#include "socketpair.h"

#include "httptestsupport.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

SocketPair::SocketPair(bool tls)
    : tls(tls)
{
    clientSocket.setPeerVerifyMode(QSslSocket::VerifyNone);
}

SocketPair::~SocketPair() = default;

bool SocketPair::open(int timeoutMs)
{
    if (!listen(QHostAddress::LocalHost, 0))
        return false;
    clientSocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (tls)
        clientSocket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), serverPort());
    else
        clientSocket.connectToHost(QHostAddress::LocalHost, serverPort());
    return HttpTestSupport::waitUntil(
        [this] {
            if (!serverSocket)
                return false;
            if (tls)
                return clientSocket.isEncrypted() && serverSocket->isEncrypted();
            return clientSocket.state() == QAbstractSocket::ConnectedState;
        },
        timeoutMs);
}

QSslSocket *SocketPair::client()
{
    return &clientSocket;
}

QSslSocket *SocketPair::server()
{
    return serverSocket.get();
}

bool SocketPair::sendToServer(const QByteArray &data, int timeoutMs)
{
    const qint64 target = serverSocket->bytesAvailable() + data.size();
    clientSocket.write(data);
    clientSocket.flush();
    return HttpTestSupport::waitUntil(
        [this, target] { return serverSocket->bytesAvailable() >= target; }, timeoutMs);
}

QByteArray SocketPair::receiveOnClient(int count, int timeoutMs)
{
    HttpTestSupport::waitUntil(
        [this, count] {
            clientReceived += clientSocket.readAll();
            return clientReceived.size() >= count;
        },
        timeoutMs);
    return clientReceived;
}

void SocketPair::incomingConnection(qintptr socketDescriptor)
{
    serverSocket = std::make_unique<QSslSocket>();
    serverSocket->setSocketDescriptor(socketDescriptor);
    serverSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!tls)
        return;
    QFile keyFile(HttpTestSupport::testKeyFile());
    QFile certFile(HttpTestSupport::testCertFile());
    keyFile.open(QIODevice::ReadOnly);
    certFile.open(QIODevice::ReadOnly);
    serverSocket->setPrivateKey(QSslKey(&keyFile, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey));
    serverSocket->setLocalCertificateChain(QSslCertificate::fromDevice(&certFile, QSsl::Pem));
    serverSocket->setPeerVerifyMode(QSslSocket::VerifyNone);
    serverSocket->startServerEncryption();
}
