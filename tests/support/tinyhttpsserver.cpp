#include "tinyhttpsserver.h"

#include "testsupport.h"

#include <QFile>
#include <QSslSocket>

namespace {

QByteArray readFixture(const QString &name)
{
    QFile file(TestSupport::fixture(name));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

TinyHttpsServer::TinyHttpsServer(QObject *parent)
    : QTcpServer(parent)
{
    setReply("{}");
}

QSslCertificate TinyHttpsServer::certificate()
{
    return QSslCertificate(readFixture(QStringLiteral("tls/test.cert")), QSsl::Pem);
}

QSslKey TinyHttpsServer::key()
{
    return QSslKey(readFixture(QStringLiteral("tls/test.key")), QSsl::Rsa, QSsl::Pem);
}

void TinyHttpsServer::setReply(const QByteArray &body, int status)
{
    m_reply = "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: application/json\r\n"
        + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void TinyHttpsServer::incomingConnection(qintptr socketDescriptor)
{
    auto socket = new QSslSocket(this);
    socket->setLocalCertificate(certificate());
    socket->setPrivateKey(key());
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        const int headEnd = buffer->indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        int length = 0;
        for (const QByteArray &line : buffer->left(headEnd).split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toInt();
        }
        if (buffer->size() < headEnd + 4 + length)
            return;
        m_requests << *buffer;
        buffer->clear();
        emit requestReceived();
        if (!m_silent) {
            socket->write(m_reply);
            socket->disconnectFromHost();
        }
    });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    socket->startServerEncryption();
}
