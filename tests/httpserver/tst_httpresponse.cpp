#include "httpcookie.h"
#include "httpresponse.h"
#include "socketpair.h"

#include <QtTest>

class TestHttpResponse : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void framing_data();
    void framing();
    void changesAfterTheHeadersDoNotReachTheClient();
    void largeChunkedBody();
    void writesToAClosedSocketAreSkipped();
};

void TestHttpResponse::initTestCase_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("tls") << true;
}

void TestHttpResponse::framing_data()
{
    // Operations on a fresh response, one per entry:
    //   "status CODE [TEXT]", "header NAME: VALUE", "number NAME VALUE" (the int overload),
    //   "cookie SET-COOKIE-TEXT", "write DATA", "last [DATA]", "redirect URL".
    QTest::addColumn<QByteArrayList>("operations");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("one last part") << QByteArrayList { "last {}" }
                                   << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}");
    QTest::newRow("header order")
        << QByteArrayList { "header X-a: 3", "header Content-Type: application/json",
               "header Access-Control-Allow-Origin: *", "last {}" }
        << QByteArray("HTTP/1.1 200 OK\r\nAccess-Control-Allow-Origin: *\r\n"
                      "Content-Length: 2\r\nContent-Type: application/json\r\nX-a: 3\r\n\r\n{}");
    QTest::newRow("handler's content-length replaced") << QByteArrayList { "number Content-Length 99",
        "last abc" } << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    QTest::newRow("setting a header again replaces it") << QByteArrayList { "header X-A: 1", "header X-A: 2",
        "last " } << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-A: 2\r\n\r\n");
    QTest::newRow("two parts chunked") << QByteArrayList { "write ab", "last cde" }
                                       << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                                     "2\r\nab\r\n3\r\ncde\r\n0\r\n\r\n");
    QTest::newRow("empty parts send no chunk")
        << QByteArrayList { "write ", "write ab", "write ", "last " }
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "2\r\nab\r\n0\r\n\r\n");
    QTest::newRow("connection close sends raw") << QByteArrayList { "header Connection: close", "write ab",
        "last cde" } << QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nabcde");
    QTest::newRow("lower-case connection close sends raw") << QByteArrayList { "header connection: Close",
        "write ab", "last cde" } << QByteArray("HTTP/1.1 200 OK\r\nconnection: Close\r\n\r\nabcde");
    QTest::newRow("connection keep-alive is chunked")
        << QByteArrayList { "header Connection: keep-alive", "write ab", "last " }
        << QByteArray("HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "2\r\nab\r\n0\r\n\r\n");
    QTest::newRow("chunk size in lower-case hexadecimal")
        << QByteArrayList { "write " + QByteArray(255, 'x'), "last " }
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nff\r\n" + QByteArray(255, 'x')
               + "\r\n0\r\n\r\n");
    QTest::newRow("empty last part") << QByteArrayList { "last " }
                                     << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("status text") << QByteArrayList { "status 404 Not Found", "last " }
                                 << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("empty status text") << QByteArrayList { "status 404", "last " }
                                       << QByteArray("HTTP/1.1 404 \r\nContent-Length: 0\r\n\r\n");
    QTest::newRow("redirect") << QByteArrayList { "redirect /x" }
                              << QByteArray(
                                     "HTTP/1.1 303 See Other\r\nContent-Length: 8\r\nLocation: /x\r\n\r\n"
                                     "Redirect");
    QTest::newRow("cookies after headers, by name")
        << QByteArrayList { "cookie z=1", "cookie a=2; Path=/; HttpOnly", "cookie z=3", "cookie ",
               "header X-A: 1", "last " }
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-A: 1\r\n"
                      "Set-Cookie: a=2; Path=/; HttpOnly; Version=1\r\nSet-Cookie: z=3; Version=1\r\n\r\n");
    QTest::newRow("integer header") << QByteArrayList { "number X-Count -12",
        "last " } << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nX-Count: -12\r\n\r\n");
}

void TestHttpResponse::framing()
{
    QFETCH_GLOBAL(bool, tls);
    QFETCH(QByteArrayList, operations);
    QFETCH(QByteArray, expected);

    SocketPair pair(tls);
    QVERIFY(pair.open());
    HttpResponse response(pair.server());
    for (const QByteArray &operation : operations) {
        const int space = operation.indexOf(' ');
        const QByteArray verb = space < 0 ? operation : operation.left(space);
        const QByteArray argument = space < 0 ? QByteArray() : operation.mid(space + 1);
        if (verb == "status") {
            const QList<QByteArray> words = argument.split(' ');
            response.setStatus(words.at(0).toInt(), argument.mid(words.at(0).size() + 1));
        } else if (verb == "header") {
            const int colon = argument.indexOf(": ");
            response.setHeader(argument.left(colon), argument.mid(colon + 2));
        } else if (verb == "number") {
            const QList<QByteArray> words = argument.split(' ');
            response.setHeader(words.at(0), words.at(1).toInt());
        } else if (verb == "cookie") {
            response.setCookie(HttpCookie(argument));
        } else if (verb == "write") {
            response.write(argument);
        } else if (verb == "last") {
            response.write(argument, true);
        } else if (verb == "redirect") {
            response.redirect(argument);
        } else {
            QFAIL(operation.constData());
        }
    }
    QVERIFY(response.hasSentLastPart());
    QCOMPARE(pair.receiveOnClient(expected.size()), expected);
}

void TestHttpResponse::changesAfterTheHeadersDoNotReachTheClient()
{
    QFETCH_GLOBAL(bool, tls);
    SocketPair pair(tls);
    QVERIFY(pair.open());
    HttpResponse response(pair.server());
    response.write("ab");
    QVERIFY(!response.hasSentLastPart());
    response.setStatus(500, "Late");
    response.setHeader("X-Late", "1");
    response.setCookie(HttpCookie("late", "1", 0));
    response.write("c", true);
    QVERIFY(response.hasSentLastPart());

    QCOMPARE(response.getStatusCode(), 200);
    QCOMPARE(response.getHeaders().value("Transfer-Encoding"), QByteArray("chunked"));
    QVERIFY(response.getCookies().isEmpty());
    const QByteArray expected
        = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n1\r\nc\r\n0\r\n\r\n";
    QCOMPARE(pair.receiveOnClient(expected.size()), expected);
}

void TestHttpResponse::largeChunkedBody()
{
    QFETCH_GLOBAL(bool, tls);
    SocketPair pair(tls);
    QVERIFY(pair.open());
    HttpResponse response(pair.server());
    QByteArray body;
    for (int i = 0; i < 40; ++i) {
        const QByteArray part(50000, char('a' + i % 26));
        body += part;
        response.write(part);
    }
    response.write(QByteArray(), true);

    QByteArray expected = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 40; ++i)
        expected += "c350\r\n" + body.mid(i * 50000, 50000) + "\r\n";
    expected += "0\r\n\r\n";
    QCOMPARE(pair.receiveOnClient(expected.size(), 20000), expected);
}

void TestHttpResponse::writesToAClosedSocketAreSkipped()
{
    QFETCH_GLOBAL(bool, tls);
    SocketPair pair(tls);
    QVERIFY(pair.open());
    HttpResponse response(pair.server());
    QVERIFY(response.isConnected());
    pair.server()->abort();
    QVERIFY(!response.isConnected());
    response.write("ab");
    response.write("cd", true);
    QVERIFY(response.hasSentLastPart());
}

QTEST_GUILESS_MAIN(TestHttpResponse)
#include "tst_httpresponse.moc"
