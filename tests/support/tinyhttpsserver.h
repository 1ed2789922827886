#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

// A one-purpose HTTPS server for tests of HTTP clients: it records each request and answers
// every one with the same canned reply, or not at all when the reply is empty.
class TinyHttpsServer : public QTcpServer
{
    Q_OBJECT
public:
    // Serves with the test key pair in tests/fixtures/tls.
    explicit TinyHttpsServer(QObject *parent = nullptr);

    static QSslCertificate certificate();
    static QSslKey key();

    void setReply(const QByteArray &body, int status = 200);
    void setSilent(bool silent) { m_silent = silent; }

    // Raw requests received (head and body), in order.
    QList<QByteArray> requests() const { return m_requests; }

signals:
    void requestReceived();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    QByteArray m_reply;
    bool m_silent = false;
    QList<QByteArray> m_requests;
};
