#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSslSocket>

// One response as a client sees it.
struct TestHttpResponse
{
    QByteArray statusLine;
    int status = 0;
    // In the order they arrived.
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // First value of a header, the name compared case-insensitively.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
};

// A client on 127.0.0.1 that speaks plain TCP or TLS (without verifying the server) and waits
// while the event loop runs, so that servers and simulators on the same thread keep working.
class TestHttpClient
{
public:
    explicit TestHttpClient(bool tls);

    // Connected, and for TLS encrypted, within timeoutMs.
    bool connectTo(quint16 port, int timeoutMs = 5000);
    // With chunkSize > 0 every piece leaves on its own before the next is written.
    void send(const QByteArray &data, int chunkSize = 0);
    // Waits for the next complete response (framed by Content-Length, chunks or the closing of
    // the connection) and takes it from the received bytes.
    bool readResponse(TestHttpResponse *response, int timeoutMs = 5000);
    bool waitForDisconnected(int timeoutMs = 5000);
    // Everything received and not yet taken by readResponse.
    QByteArray pending();
    bool isConnected() const { return sslSocket.state() == QAbstractSocket::ConnectedState; }
    QSslSocket &socket() { return sslSocket; }

private:
    // Parses one response from the front of buffer; false while it is incomplete.
    bool parse(TestHttpResponse *response);

    bool tls;
    QSslSocket sslSocket;
    QByteArray buffer;
};
