#pragma once

#include <QSslSocket>
#include <QTcpServer>

#include <memory>

// Two connected sockets on 127.0.0.1 in this thread, plain or TLS (the server side with the test
// key pair), so that a test can feed the server side to the parser or the response directly.
class SocketPair : public QTcpServer
{
public:
    explicit SocketPair(bool tls);
    ~SocketPair() override;

    // Connects, and for TLS completes the handshake on both sides.
    bool open(int timeoutMs = 5000);
    QSslSocket *client();
    QSslSocket *server();

    // Sends data from the client and waits until all of it can be read on the server side.
    bool sendToServer(const QByteArray &data, int timeoutMs = 5000);
    // Waits until the client has received count bytes in all and returns them.
    QByteArray receiveOnClient(int count, int timeoutMs = 5000);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    bool tls;
    QSslSocket clientSocket;
    std::unique_ptr<QSslSocket> serverSocket;
    QByteArray clientReceived;
};
