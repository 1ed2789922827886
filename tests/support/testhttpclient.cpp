#include "testhttpclient.h"

#include "httptestsupport.h"

QByteArray TestHttpResponse::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QByteArray();
}

bool TestHttpResponse::hasHeader(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

TestHttpClient::TestHttpClient(bool tls)
    : tls(tls)
{
    sslSocket.setPeerVerifyMode(QSslSocket::VerifyNone);
    sslSocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

bool TestHttpClient::connectTo(quint16 port, int timeoutMs)
{
    if (tls) {
        sslSocket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        return HttpTestSupport::waitUntil([this] { return sslSocket.isEncrypted(); }, timeoutMs);
    }
    sslSocket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return HttpTestSupport::waitUntil(
        [this] { return sslSocket.state() == QAbstractSocket::ConnectedState; }, timeoutMs);
}

void TestHttpClient::send(const QByteArray &data, int chunkSize)
{
    if (chunkSize <= 0) {
        sslSocket.write(data);
        sslSocket.flush();
        return;
    }
    for (int i = 0; i < data.size(); i += chunkSize) {
        sslSocket.write(data.mid(i, chunkSize));
        sslSocket.flush();
        // Each piece leaves before the next is written, so the server sees them one by one.
        HttpTestSupport::waitUntil(
            [this] { return sslSocket.encryptedBytesToWrite() + sslSocket.bytesToWrite() == 0; });
    }
}

bool TestHttpClient::readResponse(TestHttpResponse *response, int timeoutMs)
{
    return HttpTestSupport::waitUntil(
        [this, response] {
            collect();
            return parse(response, sslSocket.state() == QAbstractSocket::UnconnectedState);
        },
        timeoutMs);
}

bool TestHttpClient::waitForDisconnected(int timeoutMs)
{
    return HttpTestSupport::waitUntil(
        [this] {
            collect();
            return sslSocket.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
}

QByteArray TestHttpClient::pending()
{
    collect();
    return buffer;
}

bool TestHttpClient::isConnected() const
{
    return sslSocket.state() == QAbstractSocket::ConnectedState;
}

QSslSocket &TestHttpClient::socket()
{
    return sslSocket;
}

void TestHttpClient::collect()
{
    buffer += sslSocket.readAll();
}

bool TestHttpClient::parse(TestHttpResponse *response, bool closed)
{
    const int headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;

    TestHttpResponse parsed;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    parsed.statusLine = lines.first().trimmed();
    parsed.status = parsed.statusLine.split(' ').value(1).toInt();
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        parsed.headers.append({ line.left(colon), line.mid(colon + 1).trimmed() });
    }

    const int bodyStart = headEnd + 4;
    int end = -1;
    if (parsed.hasHeader("Content-Length")) {
        const int length = parsed.header("Content-Length").toInt();
        if (buffer.size() - bodyStart < length)
            return false;
        parsed.body = buffer.mid(bodyStart, length);
        end = bodyStart + length;
    } else if (parsed.header("Transfer-Encoding") == "chunked") {
        int position = bodyStart;
        for (;;) {
            const int lineEnd = buffer.indexOf("\r\n", position);
            if (lineEnd < 0)
                return false;
            bool ok = false;
            const int size = buffer.mid(position, lineEnd - position).toInt(&ok, 16);
            if (!ok)
                return false;
            if (size == 0) {
                if (buffer.size() < lineEnd + 4)
                    return false;
                end = lineEnd + 4;
                break;
            }
            if (buffer.size() < lineEnd + 2 + size + 2)
                return false;
            parsed.body += buffer.mid(lineEnd + 2, size);
            position = lineEnd + 2 + size + 2;
        }
    } else {
        if (!closed)
            return false;
        parsed.body = buffer.mid(bodyStart);
        end = buffer.size();
    }
    parsed.raw = buffer.left(end);
    buffer.remove(0, end);
    *response = parsed;
    return true;
}
