#include "testhttpclient.h"

#include <QTest>

QByteArray TestHttpResponse::header(const QByteArray &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second.isNull() ? QByteArray("") : header.second;
    }
    return QByteArray();
}

bool TestHttpResponse::hasHeader(const QByteArray &name) const
{
    return !header(name).isNull();
}

TestHttpClient::TestHttpClient(bool tls)
    : tls(tls)
{
    sslSocket.setPeerVerifyMode(QSslSocket::VerifyNone);
    sslSocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

bool TestHttpClient::connectTo(quint16 port, int timeoutMs)
{
    if (tls)
        sslSocket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    else
        sslSocket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return QTest::qWaitFor([this] { return tls ? sslSocket.isEncrypted() : isConnected(); }, timeoutMs);
}

void TestHttpClient::send(const QByteArray &data, int chunkSize)
{
    const auto sent = [this] { return sslSocket.encryptedBytesToWrite() + sslSocket.bytesToWrite() == 0; };
    const int step = chunkSize > 0 ? chunkSize : qMax(1, data.size());
    for (int i = 0; i < data.size(); i += step) {
        sslSocket.write(data.mid(i, step));
        sslSocket.flush();
        // Each piece leaves before the next is written, so the server sees them one by one.
        if (chunkSize > 0 && !QTest::qWaitFor(sent))
            return;
    }
}

bool TestHttpClient::readResponse(TestHttpResponse *response, int timeoutMs)
{
    return QTest::qWaitFor(
        [this, response] {
            buffer += sslSocket.readAll();
            return parse(response);
        },
        timeoutMs);
}

bool TestHttpClient::waitForDisconnected(int timeoutMs)
{
    const auto closed = [this] {
        buffer += sslSocket.readAll();
        return sslSocket.state() == QAbstractSocket::UnconnectedState;
    };
    return QTest::qWaitFor(closed, timeoutMs);
}

QByteArray TestHttpClient::pending()
{
    buffer += sslSocket.readAll();
    return buffer;
}

bool TestHttpClient::parse(TestHttpResponse *response)
{
    const int headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    TestHttpResponse parsed;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    parsed.statusLine = lines.first().trimmed();
    parsed.status = parsed.statusLine.split(' ').value(1).toInt();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        parsed.headers.append({ lines.at(i).left(colon).trimmed(), lines.at(i).mid(colon + 1).trimmed() });
    }
    int end = headEnd + 4;
    if (parsed.hasHeader("Content-Length")) {
        end += parsed.header("Content-Length").toInt();
        if (buffer.size() < end)
            return false;
        parsed.body = buffer.mid(headEnd + 4, end - headEnd - 4);
    } else if (parsed.header("Transfer-Encoding") == "chunked") {
        for (int size = -1; size != 0; end += size + 2) {
            const int lineEnd = buffer.indexOf("\r\n", end);
            bool ok = false;
            size = lineEnd < 0 ? 0 : buffer.mid(end, lineEnd - end).toInt(&ok, 16);
            if (!ok || buffer.size() < lineEnd + 2 + size + 2)
                return false;
            parsed.body += buffer.mid(lineEnd + 2, size);
            end = lineEnd + 2;
        }
    } else if (sslSocket.state() == QAbstractSocket::UnconnectedState) {
        parsed.body = buffer.mid(end);
        end = buffer.size();
    } else {
        return false;
    }
    buffer.remove(0, end);
    *response = parsed;
    return true;
}
