#include "httpcookie.h"

#include <QtTest>

Q_DECLARE_METATYPE(HttpCookie)

class TestHttpCookie : public QObject
{
    Q_OBJECT

private slots:
    void render_data();
    void render();
    void splitCSV_data();
    void splitCSV();
    void parse_data();
    void parse();
    void parseWarnsAboutUnknownAttributes();
};

void TestHttpCookie::render_data()
{
    QTest::addColumn<HttpCookie>("cookie");
    QTest::addColumn<QByteArray>("expected");

    HttpCookie session;
    session.setName("id");
    session.setValue("abc");
    session.setPath("/");
    session.setHttpOnly(true);
    QTest::newRow("path and httpOnly") << session << QByteArray("id=abc; Path=/; HttpOnly; Version=1");
    QTest::newRow("defaults") << HttpCookie() << QByteArray("=; Version=1");
    QTest::newRow("every attribute in order")
        << HttpCookie("n", "v", 60, "/p", "note", "example.org", true, true)
        << QByteArray(
               "n=v; Comment=note; Domain=example.org; Max-Age=60; Path=/p; Secure; HttpOnly; Version=1");
    QTest::newRow("negative max-age") << HttpCookie("n", "v", -1) << QByteArray("n=v; Max-Age=-1; Version=1");
}

void TestHttpCookie::render()
{
    QFETCH(HttpCookie, cookie);
    QFETCH(QByteArray, expected);
    QCOMPARE(cookie.toByteArray(), expected);
}

void TestHttpCookie::splitCSV_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArrayList>("parts");

    QTest::newRow("quoted semicolon")
        << QByteArray("a=1; b=\"x;y\"; ; c") << QByteArrayList { "a=1", "b=x;y", "c" };
    QTest::newRow("commas do not separate") << QByteArray("a=1, b=2") << QByteArrayList { "a=1, b=2" };
    QTest::newRow("empty") << QByteArray() << QByteArrayList();
    QTest::newRow("only separators") << QByteArray(" ; ;; ") << QByteArrayList();
    QTest::newRow("unterminated quote") << QByteArray("a=\"x;y") << QByteArrayList { "a=x;y" };
    QTest::newRow("quoted empty value") << QByteArray("a=\"\"") << QByteArrayList { "a=" };
}

void TestHttpCookie::splitCSV()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArrayList, parts);
    QCOMPARE(HttpCookie::splitCSV(source), parts);
}

void TestHttpCookie::parse_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("maxAge");
    QTest::addColumn<bool>("secure");
    QTest::addColumn<bool>("httpOnly");
    QTest::addColumn<int>("version");

    QTest::newRow("attributes") << QByteArray("id=abc; Path=/; Secure; HttpOnly; Max-Age=60")
                                << QByteArray("id") << QByteArray("abc") << QByteArray("/") << 60 << true
                                << true << 1;
    QTest::newRow("max-age not a number") << QByteArray("id=abc; Max-Age=soon") << QByteArray("id")
                                          << QByteArray("abc") << QByteArray() << 0 << false << false << 1;
    QTest::newRow("version") << QByteArray("id=abc; Version=2") << QByteArray("id") << QByteArray("abc")
                             << QByteArray() << 0 << false << false << 2;
    QTest::newRow("name without value") << QByteArray("flag") << QByteArray("flag") << QByteArray()
                                        << QByteArray() << 0 << false << false << 1;
    QTest::newRow("attribute names are case-sensitive")
        << QByteArray("path=/x") << QByteArray("path") << QByteArray("/x") << QByteArray() << 0 << false
        << false << 1;
    QTest::newRow("leading equals sign is part of the name")
        << QByteArray("=abc") << QByteArray("=abc") << QByteArray() << QByteArray() << 0 << false << false
        << 1;
    QTest::newRow("round trip") << HttpCookie("n", "v w", 5, "/p", "", "", true, false).toByteArray()
                                << QByteArray("n") << QByteArray("v w") << QByteArray("/p") << 5 << true
                                << false << 1;
}

void TestHttpCookie::parse()
{
    QFETCH(QByteArray, source);
    const HttpCookie cookie(source);
    QTEST(cookie.getName(), "name");
    QTEST(cookie.getValue(), "value");
    QTEST(cookie.getPath(), "path");
    QTEST(cookie.getMaxAge(), "maxAge");
    QTEST(cookie.getSecure(), "secure");
    QTEST(cookie.getHttpOnly(), "httpOnly");
    QTEST(cookie.getVersion(), "version");
}

void TestHttpCookie::parseWarnsAboutUnknownAttributes()
{
    QTest::ignoreMessage(QtWarningMsg, "HttpCookie: Ignoring unknown foo=bar");
    const HttpCookie cookie(QByteArray("id=abc; foo=bar"));
    QCOMPARE(cookie.getName(), QByteArray("id"));
    QCOMPARE(cookie.getValue(), QByteArray("abc"));
}

QTEST_GUILESS_MAIN(TestHttpCookie)
#include "tst_httpcookie.moc"
