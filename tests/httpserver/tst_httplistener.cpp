// The server as a client sees it, over plain TCP and over TLS: replies and their framing,
// keep-alive and closing, the size limit, the read time-out and the connection limit.
#include "httplistener.h"
#include "httprequest.h"
#include "httprequesthandler.h"
#include "httpresponse.h"
#include "httpserverconfig.h"
#include "testhttpclient.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

class Handler : public HttpRequestHandler
{
public:
    void service(HttpRequest &request, HttpResponse &response) override
    {
        const QByteArray path = request.getRawPath();
        if (path == "/close")
            response.setHeader("Connection", "close");
        if (path == "/parts" || path == "/close") {
            response.write("ab");
            response.write("cde", true);
        } else if (path == "/throw") {
            response.write("ab");
            throw std::runtime_error("handler failure");
        } else if (path == "/big") {
            for (int i = 0; i < 256; ++i)
                response.write(QByteArray(65536, 'x'));
            response.write(QByteArray(), true);
        } else {
            response.write(path + request.getBody(), true);
        }
    }
};

// A listener on 127.0.0.1 at a port of the system's choice, with the test key pair for TLS.
struct Server
{
    Server(bool tls, HttpServerConfig config = HttpServerConfig())
    {
        config.addresses = { QHostAddress(QHostAddress::LocalHost) };
        config.port = 0;
        // Small enough for the rows to reach.
        config.maxRequestSize = 16000;
        if (tls) {
            config.sslKeyFile = TestSupport::fixture(QStringLiteral("tls/test.key"));
            config.sslCertFile = TestSupport::fixture(QStringLiteral("tls/test.cert"));
        }
        listener = std::make_unique<HttpListener>(config, &handler);
    }
    quint16 port() const { return listener->serverPort(); }

    Handler handler;
    std::unique_ptr<HttpListener> listener;
};

QByteArray ok(const QByteArray &body, const QByteArray &headers = QByteArray())
{
    return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
        + body;
}

} // namespace

class tst_HttpListener : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void exchange_data();
    void exchange();
    void requestDuringReplyWaitsForIt();
    void connectionsBeyondTheLimitGet503();
    void unreadRepliesGiveWay();
};

void tst_HttpListener::initTestCase_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("tls") << true;
}

void tst_HttpListener::exchange_data()
{
    QTest::addColumn<QByteArray>("requests");
    QTest::addColumn<int>("piece");
    QTest::addColumn<int>("readTimeout");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<bool>("closed");

    const QByteArray pipelined = "GET /1 HTTP/1.1\r\n\r\nGET /parts HTTP/1.1\r\n\r\nPOST /3 HTTP/1.1\r\n"
                                 "Content-Length: 4\r\n\r\nbody";
    const QByteArray answers = ok("/1")
        + "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n3\r\ncde\r\n0\r\n\r\n"
        + ok("/3body");
    QTest::newRow("kept alive, pipelined") << pipelined << 0 << 10000 << answers << false;
    QTest::newRow("kept alive, byte by byte") << pipelined << 1 << 10000 << answers << false;
    const QByteArray closing = "Connection: close\r\n";
    QTest::newRow("HTTP/1.0") << QByteArray("GET /x HTTP/1.0\r\n\r\nGET /y HTTP/1.0\r\n\r\n") << 0 << 10000
                              << ok("/x", closing) << true;
    QTest::newRow("Connection: CLOSE")
        << QByteArray("GET /x HTTP/1.1\r\nConnection: CLOSE\r\n\r\nGET /y HTTP/1.1\r\n\r\n") << 0 << 10000
        << ok("/x", closing) << true;
    QTest::newRow("closing reply in parts is raw")
        << QByteArray("GET /close HTTP/1.1\r\n\r\nGET /y HTTP/1.1\r\n\r\n") << 0 << 10000
        << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nabcde") << true;
    QTest::newRow("large closing reply arrives whole")
        << QByteArray("GET /big HTTP/1.1\r\nConnection: close\r\n\r\n") << 0 << 10000
        << "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray(256 * 65536, 'x') << true;
    QTest::newRow("throwing handler's reply is finished")
        << QByteArray("GET /throw HTTP/1.1\r\n\r\nGET /after HTTP/1.1\r\n\r\n") << 0 << 10000
        << "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n" + ok("/after")
        << false;

    const QByteArray tooLarge
        = "HTTP/1.1 413 entity too large\r\nConnection: close\r\n\r\n413 Entity too large\r\n";
    QTest::newRow("head over the limit") << "GET / HTTP/1.1\r\nX-Pad: " + QByteArray(16000, 'p') + "\r\n\r\n"
                                         << 0 << 10000 << tooLarge << true;
    QTest::newRow("body announced over the limit")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length: 15990\r\n\r\n") << 0 << 10000 << tooLarge << true;
    QTest::newRow("no request line") << QByteArray("GET /\r\n\r\n") << 0 << 10000 << tooLarge << true;

    // Long enough for a TLS handshake on a busy machine, which the time-out also covers.
    QTest::newRow("silent") << QByteArray() << 0 << 500 << QByteArray() << true;
    QTest::newRow("part of the head")
        << QByteArray("GET / HTTP/1.1\r\nHost: lo") << 0 << 500 << QByteArray() << true;
    QTest::newRow("idle after a reply")
        << QByteArray("GET /a HTTP/1.1\r\n\r\n") << 0 << 500 << ok("/a") << true;
}

void tst_HttpListener::exchange()
{
    QFETCH_GLOBAL(bool, tls);
    QFETCH(QByteArray, requests);
    QFETCH(int, piece);
    QFETCH(int, readTimeout);
    QFETCH(QByteArray, replies);
    QFETCH(bool, closed);
    HttpServerConfig config;
    config.readTimeoutMs = readTimeout;
    Server server(tls, config);
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server.port()));
    client.send(requests, piece);
    if (closed)
        QVERIFY(client.waitForDisconnected());
    else
        QTRY_VERIFY(client.pending().size() >= replies.size());
    QCOMPARE(client.pending(), replies);
    QCOMPARE(client.isConnected(), !closed);
}

// Writing a reply lets the socket report new bytes from inside the handler; the request they
// carry is served once the reply is done, not in the middle of it.
void tst_HttpListener::requestDuringReplyWaitsForIt()
{
    QFETCH_GLOBAL(bool, tls);
    Server server(tls);
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server.port()));
    client.send("GET /big HTTP/1.1\r\n\r\n");
    QTRY_VERIFY(!client.pending().isEmpty());
    client.send("GET /after HTTP/1.1\r\n\r\n");
    TestHttpResponse big;
    QVERIFY(client.readResponse(&big, 20000));
    QCOMPARE(big.body, QByteArray(256 * 65536, 'x'));
    TestHttpResponse after;
    QVERIFY(client.readResponse(&after));
    QCOMPARE(after.body, QByteArray("/after"));
}

void tst_HttpListener::connectionsBeyondTheLimitGet503()
{
    QFETCH_GLOBAL(bool, tls);
    HttpServerConfig config;
    config.maxThreads = 1;
    config.maxQueueWaitMs = 100;
    config.reclaimAfterMs = 60000;
    Server server(tls, config);
    TestHttpClient first(tls);
    QVERIFY(first.connectTo(server.port()));
    first.send("GET /first HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(first.pending(), ok("/first"));

    // The refusal comes from the listener itself, over TLS on a TLS port.
    TestHttpClient second(tls);
    QVERIFY(second.connectTo(server.port()));
    QVERIFY(second.waitForDisconnected());
    QCOMPARE(second.pending(),
        QByteArray("HTTP/1.1 503 too many connections\r\nConnection: close\r\n\r\nToo many connections\r\n"));

    first.send("GET /again HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(first.pending(), ok("/first") + ok("/again"));
}

// Handlers stuck writing replies their peers do not take are freed once those replies hold more
// than the budget: the next client is served instead of waiting for a handler in vain.
void tst_HttpListener::unreadRepliesGiveWay()
{
    QFETCH_GLOBAL(bool, tls);
    HttpServerConfig config;
    config.maxThreads = 2;
    config.reclaimAfterMs = 60000;
    config.maxQueueWaitMs = 60000;
    config.maxReplyBytesQueued = 1 << 20;
    config.stalledReplyMs = 100;
    Server server(tls, config);
    std::vector<std::unique_ptr<TestHttpClient>> readers;
    for (int i = 0; i < 2; ++i) {
        readers.push_back(std::make_unique<TestHttpClient>(tls));
        readers.back()->socket().setReadBufferSize(16);
        QVERIFY(readers.back()->connectTo(server.port()));
        readers.back()->send("GET /big HTTP/1.1\r\n\r\n");
    }
    TestHttpClient next(tls);
    QVERIFY(next.connectTo(server.port(), 20000));
    next.send("GET /next HTTP/1.1\r\n\r\n");
    TestHttpResponse reply;
    QVERIFY(next.readResponse(&reply, 20000));
    QCOMPARE(reply.body, QByteArray("/next"));
}

QTEST_GUILESS_MAIN(tst_HttpListener)
#include "tst_httplistener.moc"
