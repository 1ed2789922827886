#include "httplistener.h"
#include "httprequesthandler.h"
#include "httptestsupport.h"
#include "messagecapture.h"
#include "testhttpclient.h"
#include "testrequesthandler.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray reply503
    = "HTTP/1.1 503 too many connections\r\nConnection: close\r\n\r\nToo many connections\r\n";
const QByteArray reply413
    = "HTTP/1.1 413 entity too large\r\nConnection: close\r\n\r\n413 Entity too large\r\n";

// A listener on 127.0.0.1 at a port of the system's choice; members end in reverse order,
// the listener (and with it every handler thread) first.
struct Server
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<HttpRequestHandler> handler;
    std::unique_ptr<HttpListener> listener;

    quint16 port() const { return listener->serverPort(); }
};

} // namespace

class TestHttpListener : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void keepAliveIsServedBySameHandler();
    void chunkedResponseKeepsConnection();
    void handlerServesConnectionAfterConnection();
    void closesAfterReply_data();
    void closesAfterReply();
    void pipelinedRequestsAnsweredInOrder_data();
    void pipelinedRequestsAnsweredInOrder();
    void serviceUnavailableWhenAllHandlersBusy();
    void entityTooLarge_data();
    void entityTooLarge();
    void readTimeoutClosesWithoutReply_data();
    void readTimeoutClosesWithoutReply();
    void throwingHandlerStillFinishesReply_data();
    void throwingHandlerStillFinishesReply();
    void defaultServiceAnswersNotImplemented();
    void largeResponseStreams();
    void closeEndsConnectionsAndListenAgain();
    void bindFailureLeavesListenerClosed();

private:
    std::unique_ptr<Server> startServer(
        const QVariantMap &values = QVariantMap(), std::unique_ptr<HttpRequestHandler> handler = nullptr);
};

void TestHttpListener::initTestCase_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("tls") << true;
}

std::unique_ptr<Server> TestHttpListener::startServer(
    const QVariantMap &values, std::unique_ptr<HttpRequestHandler> handler)
{
    QFETCH_GLOBAL(bool, tls);
    auto server = std::make_unique<Server>();
    QVariantMap all { { "readTimeout", 5000 }, { "cleanupInterval", 60000 } };
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        all.insert(it.key(), it.value());
    server->settings = HttpTestSupport::createSettings(server->dir, tls, all);
    server->handler = handler ? std::move(handler) : std::make_unique<TestRequestHandler>();
    server->listener = std::make_unique<HttpListener>(server->settings.get(), server->handler.get());
    if (!server->listener->isListening())
        qWarning("listener is not listening");
    return server;
}

void TestHttpListener::keepAliveIsServedBySameHandler()
{
    QFETCH_GLOBAL(bool, tls);
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    TestHttpResponse first;
    client.send("GET /a HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QVERIFY(client.readResponse(&first));
    QCOMPARE(first.statusLine, QByteArray("HTTP/1.1 200 OK"));
    QCOMPARE(first.header("Content-Length"), QByteArray("2"));
    QCOMPARE(first.body, QByteArray("/a"));

    TestHttpResponse second;
    client.send("GET /b HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QVERIFY(client.readResponse(&second));
    QCOMPARE(second.body, QByteArray("/b"));
    QCOMPARE(second.header("X-Handler"), first.header("X-Handler"));
    QVERIFY(client.isConnected());
}

void TestHttpListener::chunkedResponseKeepsConnection()
{
    QFETCH_GLOBAL(bool, tls);
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    TestHttpResponse chunked;
    client.send("GET /chunked HTTP/1.1\r\n\r\n");
    QVERIFY(client.readResponse(&chunked));
    QCOMPARE(chunked.header("Transfer-Encoding"), QByteArray("chunked"));
    QVERIFY(!chunked.hasHeader("Content-Length"));
    QCOMPARE(chunked.body, QByteArray("abcde"));

    TestHttpResponse next;
    client.send("GET /next HTTP/1.1\r\n\r\n");
    QVERIFY(client.readResponse(&next));
    QCOMPARE(next.body, QByteArray("/next"));
    QCOMPARE(next.header("X-Handler"), chunked.header("X-Handler"));
}

void TestHttpListener::handlerServesConnectionAfterConnection()
{
    QFETCH_GLOBAL(bool, tls);
    MessageCapture messages;
    const auto server = startServer({ { "maxThreads", 1 } });
    QByteArrayList handlers;
    for (int i = 0; i < 3; ++i) {
        TestHttpClient client(tls);
        QVERIFY(client.connectTo(server->port()));
        TestHttpResponse response;
        client.send("GET /" + QByteArray::number(i) + " HTTP/1.1\r\n\r\n");
        QVERIFY(client.readResponse(&response));
        QCOMPARE(response.body, "/" + QByteArray::number(i));
        handlers << response.header("X-Handler");
        client.socket().disconnectFromHost();
        // The one handler is free again once it has seen the connection go.
        QVERIFY(
            HttpTestSupport::waitUntil([&] { return messages.matching("): disconnected").size() == i + 1; }));
    }
    QCOMPARE(handlers.count(handlers.first()), 3);
}

void TestHttpListener::closesAfterReply_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("body");

    // A second request behind each one is never answered.
    QTest::newRow("HTTP/1.0") << QByteArray("GET /x HTTP/1.0\r\n\r\nGET /y HTTP/1.0\r\n\r\n")
                              << QByteArray("/x");
    QTest::newRow("HTTP/1.0 in parts is sent raw")
        << QByteArray("GET /chunked HTTP/1.0\r\n\r\nGET /y HTTP/1.0\r\n\r\n") << QByteArray("abcde");
    QTest::newRow("Connection: CLOSE")
        << QByteArray("GET /x HTTP/1.1\r\nConnection: CLOSE\r\n\r\nGET /y HTTP/1.1\r\n\r\n")
        << QByteArray("/x");
    QTest::newRow("handler sets Connection: close")
        << QByteArray("GET /close-raw HTTP/1.1\r\n\r\nGET /y HTTP/1.1\r\n\r\n") << QByteArray("abcde");
}

void TestHttpListener::closesAfterReply()
{
    QFETCH_GLOBAL(bool, tls);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, body);
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    client.send(request);
    QVERIFY(client.waitForDisconnected());
    TestHttpResponse response;
    QVERIFY(client.readResponse(&response));
    QCOMPARE(response.header("Connection"), QByteArray("close"));
    QVERIFY(!response.hasHeader("Transfer-Encoding"));
    QCOMPARE(response.body, body);
    QCOMPARE(client.pending(), QByteArray());
}

void TestHttpListener::pipelinedRequestsAnsweredInOrder_data()
{
    QTest::addColumn<int>("chunkSize");
    QTest::newRow("one write") << 0;
    QTest::newRow("byte by byte") << 1;
}

void TestHttpListener::pipelinedRequestsAnsweredInOrder()
{
    QFETCH_GLOBAL(bool, tls);
    QFETCH(int, chunkSize);
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    client.send("GET /1 HTTP/1.1\r\n\r\nGET /chunked HTTP/1.1\r\n\r\n"
                "POST /3 HTTP/1.1\r\nContent-Length: 4\r\n\r\nbody",
        chunkSize);
    const QByteArrayList expected { "/1", "abcde", "/3" };
    for (const QByteArray &body : expected) {
        TestHttpResponse response;
        QVERIFY(client.readResponse(&response));
        QCOMPARE(response.body, body);
    }
    QVERIFY(client.isConnected());
    const auto *handler = static_cast<TestRequestHandler *>(server->handler.get());
    QCOMPARE(handler->servedPaths(), (QByteArrayList { "/1", "/chunked", "/3" }));
}

void TestHttpListener::serviceUnavailableWhenAllHandlersBusy()
{
    QFETCH_GLOBAL(bool, tls);
    const auto server = startServer({ { "maxThreads", 1 } });
    TestHttpClient first(tls);
    QVERIFY(first.connectTo(server->port()));
    TestHttpResponse response;
    first.send("GET /first HTTP/1.1\r\n\r\n");
    QVERIFY(first.readResponse(&response));

    // The refusal comes from the listener itself, over TLS on a TLS port.
    TestHttpClient second(tls);
    QVERIFY(second.connectTo(server->port()));
    QVERIFY(second.waitForDisconnected());
    QCOMPARE(second.pending(), reply503);

    first.send("GET /again HTTP/1.1\r\n\r\n");
    QVERIFY(first.readResponse(&response));
    QCOMPARE(response.body, QByteArray("/again"));
}

void TestHttpListener::entityTooLarge_data()
{
    QTest::addColumn<QByteArray>("request");
    const QByteArray head = "GET / HTTP/1.1\r\nX-Pad: ";
    QTest::newRow("head over the default limit")
        << head + QByteArray(16001 - head.size() - 4, 'p') + "\r\n\r\n";
    QTest::newRow("announced body over the default limit")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length: 15990\r\n\r\n");
    QTest::newRow("invalid first line") << QByteArray("GET /\r\n\r\n");
    QTest::newRow("negative content-length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n");
}

void TestHttpListener::entityTooLarge()
{
    QFETCH_GLOBAL(bool, tls);
    QFETCH(QByteArray, request);
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    client.send(request);
    QVERIFY(client.waitForDisconnected());
    QCOMPARE(client.pending(), reply413);
}

void TestHttpListener::readTimeoutClosesWithoutReply_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("silent") << QByteArray() << QByteArray();
    QTest::newRow("part of the headers") << QByteArray("GET / HTTP/1.1\r\nHost: loc") << QByteArray();
    QTest::newRow("part of the body")
        << QByteArray("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nab") << QByteArray();
    QTest::newRow("idle after a reply")
        << QByteArray("GET /a HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n");
}

void TestHttpListener::readTimeoutClosesWithoutReply()
{
    QFETCH_GLOBAL(bool, tls);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    MessageCapture messages;
    // Long enough for a TLS handshake on a busy machine, which the time-out also covers.
    const auto server = startServer({ { "readTimeout", 500 } });
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    if (!request.isEmpty())
        client.send(request);
    QVERIFY(client.waitForDisconnected());
    QVERIFY(client.pending().startsWith(reply));
    if (reply.isEmpty())
        QCOMPARE(client.pending(), QByteArray());
    QCOMPARE(messages.matching("read timeout occured").size(), 1);
}

void TestHttpListener::throwingHandlerStillFinishesReply_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("framing");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("nothing written") << QByteArray("/throw") << QByteArray("Content-Length") << QByteArray();
    QTest::newRow("one part written")
        << QByteArray("/throw-after-part") << QByteArray("Transfer-Encoding") << QByteArray("ab");
}

void TestHttpListener::throwingHandlerStillFinishesReply()
{
    QFETCH_GLOBAL(bool, tls);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, framing);
    QFETCH(QByteArray, body);
    MessageCapture messages;
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    TestHttpResponse response;
    client.send("GET " + path + " HTTP/1.1\r\n\r\n");
    QVERIFY(client.readResponse(&response));
    QCOMPARE(response.status, 200);
    QVERIFY(response.hasHeader(framing));
    QCOMPARE(response.body, body);
    QCOMPARE(messages.matching("An uncatched exception occured in the request handler").size(), 1);

    client.send("GET /after HTTP/1.1\r\n\r\n");
    QVERIFY(client.readResponse(&response));
    QCOMPARE(response.body, QByteArray("/after"));
}

void TestHttpListener::defaultServiceAnswersNotImplemented()
{
    QFETCH_GLOBAL(bool, tls);
    MessageCapture messages;
    const auto server = startServer({}, std::make_unique<HttpRequestHandler>());
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    TestHttpResponse response;
    client.send("GET /a%20b HTTP/1.1\r\n\r\n");
    QVERIFY(client.readResponse(&response));
    QCOMPARE(response.raw,
        QByteArray("HTTP/1.1 501 not implemented\r\nContent-Length: 19\r\n\r\n501 not implemented"));
    QCOMPARE(messages.matching("HttpRequestHandler: you need to override the service() function").size(), 1);
    QCOMPARE(messages.matching("HttpRequestHandler: request=GET /a b HTTP/1.1").size(), 1);
}

void TestHttpListener::largeResponseStreams()
{
    QFETCH_GLOBAL(bool, tls);
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));

    TestHttpResponse response;
    client.send("GET /big?size=3000000 HTTP/1.1\r\n\r\n");
    QVERIFY(client.readResponse(&response, 20000));
    QCOMPARE(response.body.size(), 3000000);
    QCOMPARE(response.body.count('x'), 3000000);
}

void TestHttpListener::closeEndsConnectionsAndListenAgain()
{
    QFETCH_GLOBAL(bool, tls);
    const auto server = startServer();
    TestHttpClient client(tls);
    QVERIFY(client.connectTo(server->port()));
    TestHttpResponse response;
    client.send("GET /a HTTP/1.1\r\n\r\n");
    QVERIFY(client.readResponse(&response));

    server->listener->close();
    QVERIFY(!server->listener->isListening());
    QVERIFY(client.waitForDisconnected());

    server->listener->listen();
    QVERIFY(server->listener->isListening());
    TestHttpClient again(tls);
    QVERIFY(again.connectTo(server->port()));
    again.send("GET /b HTTP/1.1\r\n\r\n");
    QVERIFY(again.readResponse(&response));
    QCOMPARE(response.body, QByteArray("/b"));
}

void TestHttpListener::bindFailureLeavesListenerClosed()
{
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
    MessageCapture messages;
    const auto server = startServer({ { "port", occupant.serverPort() } });
    QVERIFY(!server->listener->isListening());
    QCOMPARE(
        messages.matching(QStringLiteral("HttpListener: Cannot bind on port %1: ").arg(occupant.serverPort()))
            .size(),
        1);
}

QTEST_GUILESS_MAIN(TestHttpListener)
#include "tst_httplistener.moc"
