#include "httpconnectionhandler.h"
#include "httpconnectionhandlerpool.h"
#include "httplistener.h"
#include "httptestsupport.h"
#include "messagecapture.h"
#include "testhttpclient.h"
#include "testrequesthandler.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Makes a handler idle again the way a closed connection does.
void release(HttpConnectionHandler *handler)
{
    QMetaObject::invokeMethod(handler, "disconnected", Qt::BlockingQueuedConnection);
}

QString removal(HttpConnectionHandler *handler, int size)
{
    return QString::asprintf(
        "HttpConnectionHandlerPool: Removed connection handler (%p), pool size is now %i",
        static_cast<void *>(handler), size);
}

} // namespace

class TestHttpConnectionHandlerPool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void handlersAreReusedAndBounded();
    void cleanupRemovesOneIdleHandlerPerTick();
    void cleanupTimerTrimsIdleHandlers();
    void tlsConfiguration_data();
    void tlsConfiguration();

private:
    QTemporaryDir dir;
    TestRequestHandler handler;
};

void TestHttpConnectionHandlerPool::initTestCase()
{
    QVERIFY(dir.isValid());
}

void TestHttpConnectionHandlerPool::handlersAreReusedAndBounded()
{
    const auto settings = HttpTestSupport::createSettings(
        dir, false, { { "maxThreads", 2 }, { "cleanupInterval", 3600000 } });
    HttpConnectionHandlerPool pool(settings.get(), &handler);

    HttpConnectionHandler *first = pool.getConnectionHandler();
    HttpConnectionHandler *second = pool.getConnectionHandler();
    QVERIFY(first && second && first != second);
    QVERIFY(first->isBusy() && second->isBusy());
    QVERIFY(!pool.getConnectionHandler());

    release(second);
    QVERIFY(!second->isBusy());
    QCOMPARE(pool.getConnectionHandler(), second);
    QVERIFY(second->isBusy());
}

void TestHttpConnectionHandlerPool::cleanupRemovesOneIdleHandlerPerTick()
{
    const auto settings = HttpTestSupport::createSettings(
        dir, false, { { "minThreads", 1 }, { "cleanupInterval", 3600000 } });
    HttpConnectionHandlerPool pool(settings.get(), &handler);
    HttpConnectionHandler *handlers[] = { pool.getConnectionHandler(), pool.getConnectionHandler(),
        pool.getConnectionHandler(), pool.getConnectionHandler() };
    for (HttpConnectionHandler *handler : handlers)
        QVERIFY(handler);
    // The last one stays busy and is never counted or removed.
    for (int i = 0; i < 3; ++i)
        release(handlers[i]);

    MessageCapture messages;
    pool.cleanup();
    QCOMPARE(messages.matching("Removed connection handler"), QStringList { removal(handlers[1], 3) });
    pool.cleanup();
    QCOMPARE(messages.matching("Removed connection handler"),
        (QStringList { removal(handlers[1], 3), removal(handlers[2], 2) }));
    pool.cleanup();
    QCOMPARE(messages.matching("Removed connection handler").size(), 2);

    QCOMPARE(pool.getConnectionHandler(), handlers[0]);
}

void TestHttpConnectionHandlerPool::cleanupTimerTrimsIdleHandlers()
{
    const auto settings
        = HttpTestSupport::createSettings(dir, false, { { "minThreads", 1 }, { "cleanupInterval", 20 } });
    MessageCapture messages;
    HttpListener listener(settings.get(), &handler);
    QVERIFY(listener.isListening());

    {
        // Three connections open at once take three handlers.
        std::vector<std::unique_ptr<TestHttpClient>> clients;
        for (int i = 0; i < 3; ++i) {
            clients.push_back(std::make_unique<TestHttpClient>(false));
            QVERIFY(clients.back()->connectTo(listener.serverPort()));
            TestHttpResponse response;
            clients.back()->send("GET / HTTP/1.1\r\n\r\n");
            QVERIFY(clients.back()->readResponse(&response));
        }
        QCOMPARE(messages.matching("): constructed").size(), 3);
    }

    QVERIFY(HttpTestSupport::waitUntil(
        [&messages] { return !messages.matching("pool size is now 1").isEmpty(); }));
    const QStringList removals = messages.matching("Removed connection handler");
    QCOMPARE(removals.size(), 2);
    QVERIFY(removals.at(0).endsWith("pool size is now 2"));
    QVERIFY(removals.at(1).endsWith("pool size is now 1"));
}

void TestHttpConnectionHandlerPool::tlsConfiguration_data()
{
    QTest::addColumn<QString>("keyFile");
    QTest::addColumn<QString>("certFile");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("critical");

    const QString key = HttpTestSupport::testKeyFile();
    const QString cert = HttpTestSupport::testCertFile();
    QTest::newRow("readable files") << key << cert << true << true << QString();
    QTest::newRow("resource paths") << ":/test.key"
                                    << ":/test.cert" << true << true << QString();
    QTest::newRow("paths relative to the settings file") << "keys/test.key"
                                                         << "keys/test.cert" << true << true << QString();
    // Clients expect TLS there: no plain HTTP in its place.
    QTest::newRow("unreadable key")
        << "/nonexistent/test.key" << cert << false << false
        << "HttpConnectionHandlerPool: cannot open sslKeyFile /nonexistent/test.key";
    QTest::newRow("unreadable certificate")
        << key << "missing.cert" << false << false
        << "HttpConnectionHandlerPool: cannot open sslCertFile " + dir.filePath("missing.cert");
    QTest::newRow("no certificate set") << key << QString() << false << true << QString();
}

void TestHttpConnectionHandlerPool::tlsConfiguration()
{
    QFETCH(QString, keyFile);
    QFETCH(QString, certFile);
    QFETCH(bool, tls);
    QFETCH(bool, listening);
    QFETCH(QString, critical);

    QVERIFY(QDir(dir.path()).mkpath("keys"));
    QFile::remove(dir.filePath("keys/test.key"));
    QFile::remove(dir.filePath("keys/test.cert"));
    QVERIFY(QFile::copy(HttpTestSupport::testKeyFile(), dir.filePath("keys/test.key")));
    QVERIFY(QFile::copy(HttpTestSupport::testCertFile(), dir.filePath("keys/test.cert")));

    MessageCapture messages;
    const auto settings = HttpTestSupport::createSettings(
        dir, false, { { "sslKeyFile", keyFile }, { "sslCertFile", certFile } });
    HttpListener listener(settings.get(), &handler);
    QCOMPARE(listener.isListening(), listening);

    if (listening) {
        TestHttpClient client(tls);
        QVERIFY(client.connectTo(listener.serverPort()));
        TestHttpResponse response;
        client.send("GET /hello HTTP/1.1\r\n\r\n");
        QVERIFY(client.readResponse(&response));
        QCOMPARE(response.body, QByteArray("/hello"));
    }

    const QStringList criticals = messages.matching("HttpConnectionHandlerPool: cannot open");
    QCOMPARE(criticals, critical.isEmpty() ? QStringList() : QStringList { critical });
    QCOMPARE(messages.matching("SSL settings loaded").size(), tls ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestHttpConnectionHandlerPool)
#include "tst_httpconnectionhandlerpool.moc"
