#include "apiclient.h"
#include "printclientthreaded.h"
#include "varnelprocess.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QSslCertificate>
#include <QSslKey>
#include <QtTest>

// The worker's address filter, and the listener it builds as the real program runs it: the fixed
// "listener" values, "serverActive" at start, and the installation's own key pair.
class tst_PrintClientThreaded : public QObject
{
    Q_OBJECT

private slots:
    void filterAddresses_data();
    void filterAddresses();
    void listenerValuesRewrittenAndServerOffAtStart();
    void noCertificateNoServer();
    void serverOnAtStartServesTls();
};

void tst_PrintClientThreaded::filterAddresses_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("kept");

    QTest::newRow("only loopback and IPv6")
        << QStringList { "127.0.0.1", "::1", "fe80::1", "2001:db8::5" } << QStringList();
    QTest::newRow("order kept") << QStringList { "192.168.1.20", "127.0.0.1", "10.0.0.7", "fe80::2",
        "172.16.0.1" } << QStringList { "192.168.1.20", "10.0.0.7", "172.16.0.1" };
    QTest::newRow("whole loopback range dropped")
        << QStringList { "127.0.1.1", "169.254.3.4" } << QStringList { "169.254.3.4" };
    QTest::newRow("IPv4-mapped IPv6 is IPv6") << QStringList { "::ffff:192.168.1.9" } << QStringList();
    QTest::newRow("none") << QStringList() << QStringList();
}

void tst_PrintClientThreaded::filterAddresses()
{
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, kept);

    QList<QHostAddress> given;
    for (const QString &address : addresses)
        given << QHostAddress(address);
    QStringList result;
    for (const QHostAddress &address : PrintClientThreaded::filterAddresses(given))
        result << address.toString();
    QCOMPARE(result, kept);
}

void tst_PrintClientThreaded::listenerValuesRewrittenAndServerOffAtStart()
{
    VarnelProcess varnel;
    varnel.store(QStringLiteral("serverActive"), false);
    // Edited by hand, including one value the program does not know.
    varnel.store(QStringLiteral("listener/port"), 6000);
    varnel.store(QStringLiteral("listener/minThreads"), 1);
    varnel.store(QStringLiteral("listener/maxThreads"), 1);
    varnel.store(QStringLiteral("listener/readTimeout"), 5);
    varnel.store(QStringLiteral("listener/sslKeyFile"), QStringLiteral("/nowhere/key.pem"));
    varnel.store(QStringLiteral("listener/maxRequestSize"), 16);
    QVERIFY(varnel.start());

    const QVariantMap expected { { "sslKeyFile", varnel.dataHome() + "/varnel/tls/server.key" },
        { "sslCertFile", varnel.dataHome() + "/varnel/tls/server.crt" }, { "port", 5080 },
        { "minThreads", 4 }, { "maxThreads", 20 }, { "cleanupInterval", 60000 }, { "readTimeout", 60000 },
        { "maxRequestSize", 4194304 }, { "maxMultiPartSize", 10000000 } };
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(varnel.stored(QStringLiteral("listener/") + it.key()).toString(), it.value().toString());

    // Built and closed at once: the program listens nowhere, and runs on.
    QVERIFY(!varnel.listensOn(5080));
    QVERIFY(!varnel.listensOn(6000));
    QVERIFY(varnel.isRunning());
    QCOMPARE(varnel.stored(QStringLiteral("serverActive")).toBool(), false);

    // Switched on (the next start reads the stored switch): the same program listens again.
    varnel.stop();
    varnel.store(QStringLiteral("serverActive"), true);
    QVERIFY(varnel.start());
    QVERIFY(varnel.listensOn(5080));
    ApiClient api;
    api.setKey(varnel.stored(QStringLiteral("securityKey")).toString());
    QCOMPARE(
        api.call("/getStatus").value(QStringLiteral("data")).toString(), QStringLiteral("Device online"));
}

// Where its certificate cannot be made, the program runs on but serves nothing, not even plain HTTP.
void tst_PrintClientThreaded::noCertificateNoServer()
{
    VarnelProcess varnel;
    QFile blocker(varnel.dataHome());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    // start() reports that the program did not take the port, which is the point here.
    QVERIFY(!varnel.start(20000, 0));
    QVERIFY(varnel.isRunning());
    QVERIFY(!varnel.listensOn(5080));
}

void tst_PrintClientThreaded::serverOnAtStartServesTls()
{
    VarnelProcess varnel;
    QVERIFY(varnel.start());
    QCOMPARE(varnel.stored(QStringLiteral("serverActive")).toBool(), true);

    TestHttpClient client(true);
    QVERIFY(client.connectTo(5080));
    const QSslCertificate certificate = client.socket().peerCertificate();
    QCOMPARE(certificate.subjectInfo(QSslCertificate::CommonName), QStringList { "localhost" });
    const auto names = certificate.subjectAlternativeNames();
    QVERIFY(names.values(QSsl::DnsEntry).contains(QStringLiteral("localhost")));
    QStringList addresses;
    for (const QString &address : names.values(QSsl::IpAddressEntry))
        addresses << QHostAddress(address).toString();
    QVERIFY2(addresses.contains(QStringLiteral("127.0.0.1")), qPrintable(addresses.join(' ')));
    QVERIFY2(addresses.contains(QStringLiteral("::1")), qPrintable(addresses.join(' ')));
    QCOMPARE(certificate,
        QSslCertificate::fromPath(varnel.dataHome() + QStringLiteral("/varnel/tls/server.crt")).value(0));

    client.send("GET /getStatus HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer "
        + varnel.stored(QStringLiteral("securityKey")).toByteArray() + "\r\n\r\n");
    TestHttpResponse response;
    QVERIFY(client.readResponse(&response));
    QCOMPARE(response.status, 200);
    QCOMPARE(QJsonDocument::fromJson(response.body).object().value(QStringLiteral("data")).toString(),
        QStringLiteral("Device online"));
}

QTEST_GUILESS_MAIN(tst_PrintClientThreaded)
#include "tst_printclientthreaded.moc"
