#include "notification.h"
#include "printclient.h"
#include "printer.h"
#include "startup.h"
#include "testsupport.h"
#include "tinyhttpsserver.h"
#include "tpa.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_PrintClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStartGeneratesKey();
    void freshStoresGiveDifferentKeys();
    void storedKey_data();
    void storedKey();
    void serverActiveDefaultsOnAndAlwaysNotifies();
    void compatibilityModeRestored();

    void updateCheck_data();
    void updateCheck();
    void updateCheckLaterReplyClearsFlagKeepsMessage();
    void updateCheckTimesOut();

    void heartbeatWritesLocalEpochSecond();
    void showWindowRequestIsServedAndCleared();
    void startedNeedsAllFourResults();
    void listsAreSafeAcrossThreads();

private:
    std::unique_ptr<PrintClient> startedClient(TinyHttpsServer *server = nullptr);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_PrintClient::initTestCase()
{
    // The update service in these tests is a local server with the test certificate.
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(TinyHttpsServer::certificate());
    QSslConfiguration::setDefaultConfiguration(config);
}

void tst_PrintClient::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    TestSupport::useTemporarySettings(*m_dir);
    // Nothing listens on port 1: checks that a test does not aim elsewhere fail at once.
    qputenv("VARNEL_UPDATE_URL", "https://127.0.0.1:1");
}

std::unique_ptr<PrintClient> tst_PrintClient::startedClient(TinyHttpsServer *server)
{
    if (server)
        qputenv(
            "VARNEL_UPDATE_URL", QByteArray("https://localhost:") + QByteArray::number(server->serverPort()));
    auto client = std::make_unique<PrintClient>();
    client->setUpdateCheckIntervals(10000, 3600000);
    client->startup();
    return client;
}

void tst_PrintClient::firstStartGeneratesKey()
{
    PrintClient client;
    QSignalSpy keySpy(&client, &PrintClient::securityKeyChanged);
    client.readSettings();

    const QString key = client.securityKey();
    QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9+/]{8}v4\\.0$")).match(key).hasMatch(),
        qPrintable(key));
    QVERIFY(client.firstStartup());
    QCOMPARE(keySpy.count(), 1);
    QCOMPARE(QSettings().value(QStringLiteral("securityKey")).toString(), key);

    // The next start finds the key and keeps it.
    PrintClient second;
    second.readSettings();
    QCOMPARE(second.securityKey(), key);
    QVERIFY(!second.firstStartup());
}

void tst_PrintClient::freshStoresGiveDifferentKeys()
{
    QSet<QString> keys;
    for (int i = 0; i < 20; ++i) {
        QTemporaryDir dir;
        TestSupport::useTemporarySettings(dir);
        PrintClient client;
        client.readSettings();
        keys.insert(client.securityKey());
    }
    QCOMPARE(keys.size(), 20);
}

void tst_PrintClient::storedKey_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no suffix") << "abcdefgh"
                               << "abcdefghv4.0";
    QTest::newRow("suffix kept") << "abcdefghv4.0"
                                 << "abcdefghv4.0";
    QTest::newRow("other version kept") << "keyv3.7"
                                        << "keyv3.7";
    QTest::newRow("suffix not at end") << "v4.0abc"
                                       << "v4.0abcv4.0";
    QTest::newRow("upper-case V") << "keyV4.0"
                                  << "keyV4.0v4.0";
    QTest::newRow("two digits") << "keyv4.10"
                                << "keyv4.10v4.0";
}

void tst_PrintClient::storedKey()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QSettings().setValue(QStringLiteral("securityKey"), stored);

    PrintClient client;
    client.readSettings();
    QCOMPARE(client.securityKey(), expected);
    QVERIFY(!client.firstStartup());
    QCOMPARE(QSettings().value(QStringLiteral("securityKey")).toString(), expected);
}

void tst_PrintClient::serverActiveDefaultsOnAndAlwaysNotifies()
{
    PrintClient client;
    client.readSettings();
    QVERIFY(client.serverActive());
    QVERIFY(QSettings().value(QStringLiteral("serverActive")).toBool());

    QSignalSpy spy(&client, &PrintClient::serverActiveChanged);
    client.setServerActive(true);
    QCOMPARE(spy.count(), 1);
    client.setServerActive(false);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.last().first().toBool(), false);
    QVERIFY(!QSettings().value(QStringLiteral("serverActive")).toBool());

    PrintClient restarted;
    restarted.readSettings();
    QVERIFY(!restarted.serverActive());
}

void tst_PrintClient::compatibilityModeRestored()
{
    {
        PrintClient client;
        client.readSettings();
        QVERIFY(!client.compatibilityMode());
        client.setCompatibilityMode(true);
    }
    PrintClient restarted;
    restarted.readSettings();
    QVERIFY(restarted.compatibilityMode());
}

void tst_PrintClient::updateCheck_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("hasUpdate");
    QTest::newRow("true") << QByteArray(R"({"hasNewVersion": true})") << 200 << true;
    QTest::newRow("false") << QByteArray(R"({"hasNewVersion": false})") << 200 << false;
    QTest::newRow("string true") << QByteArray(R"({"hasNewVersion": "true"})") << 200 << false;
    QTest::newRow("member missing") << QByteArray(R"({"other": true})") << 200 << false;
    QTest::newRow("array") << QByteArray(R"([true])") << 200 << false;
    QTest::newRow("garbage") << QByteArray("<html>oops") << 200 << false;
}

void tst_PrintClient::updateCheck()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(bool, hasUpdate);

    TinyHttpsServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    server.setReply(body, status);
    auto client = startedClient(&server);
    QSignalSpy spy(client.get(), &PrintClient::hasUpdateChanged);

    QVERIFY(spy.wait(10000));
    QCOMPARE(client->hasUpdate(), hasUpdate);
    QCOMPARE(client->message().isEmpty(), !hasUpdate);
    if (hasUpdate)
        QCOMPARE(client->message(),
            QStringLiteral("Existe uma nova versão do Varnel. Clique aqui para actualizar."));

    const QByteArray request = server.requests().value(0);
    QVERIFY2(request.startsWith("POST /hasNewVersion HTTP/1.1\r\n"), request.constData());
    QVERIFY(request.toLower().contains("content-type: application/x-www-form-urlencoded\r\n"));
    QVERIFY(request.endsWith("\r\n\r\ncur=410"));
}

void tst_PrintClient::updateCheckLaterReplyClearsFlagKeepsMessage()
{
    TinyHttpsServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    server.setReply(R"({"hasNewVersion": true})");
    qputenv("VARNEL_UPDATE_URL", QByteArray("https://localhost:") + QByteArray::number(server.serverPort()));
    PrintClient client;
    client.setUpdateCheckIntervals(10000, 100);
    client.startup();
    QTRY_VERIFY_WITH_TIMEOUT(client.hasUpdate(), 10000);
    const QString message = client.message();

    // The next check, one (shortened) interval after the first ended, hears "false".
    server.setReply(R"({"hasNewVersion": false})");
    QTRY_VERIFY_WITH_TIMEOUT(!client.hasUpdate(), 10000);
    QCOMPARE(client.message(), message);
    QCOMPARE(server.requests().size(), 2);
}

void tst_PrintClient::updateCheckTimesOut()
{
    TinyHttpsServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    server.setSilent(true);
    qputenv("VARNEL_UPDATE_URL", QByteArray("https://localhost:") + QByteArray::number(server.serverPort()));
    PrintClient client;
    client.setUpdateCheckIntervals(300, 200);
    client.setHasUpdate(true);
    QSignalSpy spy(&client, &PrintClient::hasUpdateChanged);
    client.startup();

    // The silent server gets the request, the client gives up and asks again later.
    QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 2, 10000);
    QVERIFY(client.hasUpdate());
    QCOMPARE(spy.count(), 0);
}

void tst_PrintClient::heartbeatWritesLocalEpochSecond()
{
    auto client = startedClient();
    const qint64 now = Startup::localEpochSecond();
    const QString kicked = QSettings().value(QStringLiteral("kicked")).toString();
    bool ok = false;
    QVERIFY(qAbs(kicked.toLongLong(&ok) - now) <= 1);
    QVERIFY(ok);
}

void tst_PrintClient::showWindowRequestIsServedAndCleared()
{
    auto client = startedClient();
    QSignalSpy spy(client.get(), &PrintClient::showWindow);

    // Another process's settings object writes the request to the store.
    {
        QSettings other;
        other.setValue(QStringLiteral("showWindow"), true);
        other.sync();
    }
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    QSettings check;
    QCOMPARE(check.value(QStringLiteral("showWindow")).toBool(), false);
}

void tst_PrintClient::startedNeedsAllFourResults()
{
    PrintClient client;
    QSignalSpy spy(&client, &PrintClient::startedChanged);
    client.onGetIPAddresses({ QHostAddress(QStringLiteral("192.0.2.1")) });
    QCOMPARE(client.ipAddresses(), QStringList { QStringLiteral("192.0.2.1") });
    QVERIFY(!client.started());
    QCOMPARE(spy.count(), 1);
}

void tst_PrintClient::listsAreSafeAcrossThreads()
{
    // Connection threads read the lists and drive terminals while this thread merges and
    // sweeps; objects a snapshot holds must outlive their removal (checked under ASan).
    PrintClient client;
    client.startup();
    const auto port = [](const char *name) {
        return SerialPortDescription(QString::fromLatin1(name), QStringLiteral("/nonexistent"),
            QStringLiteral("T"), QString(), 0x079B, 0x0001);
    };
    std::atomic<bool> stop { false };
    QList<QThread *> threads;
    for (int t = 0; t < 3; ++t) {
        threads << QThread::create([&client, &stop, t] {
            int i = 0;
            while (!stop) {
                for (const QSharedPointer<Tpa> &tpa : client.tpaList()) {
                    const QString id = QStringLiteral("pos-%1").arg(t);
                    if (!tpa->isInTransaction())
                        tpa->setTpaPurchase(id, QStringLiteral("1.00"));
                    tpa->lastStatus(id);
                    tpa->lastTransactionStatus(id);
                    tpa->clearLastTransactionStatus(id);
                    (void)tpa->name();
                }
                for (const QSharedPointer<Printer> &printer : client.printerList())
                    (void)printer->available();
                client.addNotification(
                    Notification::fromJSON({ { "title", "a" }, { "subtitle", "b" }, { "request_id", ++i } }));
                for (const QSharedPointer<Notification> &n : client.notifications())
                    (void)n->toJSON();
                (void)client.securityKey();
            }
        });
        threads.last()->start();
    }
    for (int round = 0; round < 60; ++round) {
        if (round % 2)
            client.onGetTpas(QList<SerialPortDescription> { port("a"), port("b") });
        else
            client.onGetTpas(QList<SerialPortDescription> { port("b"), port("c") });
        client.onGetPrinters(round % 3 ? QList<PrinterStatus> { PrinterStatus() } : QList<PrinterStatus>());
        for (const QSharedPointer<Tpa> &tpa : client.tpaList())
            tpa->onInTransactionChanged(false);
        client.checkNotificationDelete();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    stop = true;
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    QCOMPARE(client.tpaList().size(), 2);
    QVERIFY(client.notifications().size() <= 20);
}

QTEST_MAIN(tst_PrintClient)
#include "tst_printclient.moc"
