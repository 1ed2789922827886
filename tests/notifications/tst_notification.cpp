#include "notification.h"
#include "printclient.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

class tst_Notification : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fromJSON_data();
    void fromJSON();
    void dateParsing_data();
    void dateParsing();
    void toJSONRoundTrip();
    void twentyFirstPushesOutFirst();
    void sweepByAge_data();
    void sweepByAge();
    void sweepReArmsAndAlwaysNotifies();
    void addFromOtherThreads();

private:
    QTemporaryDir m_settings;
};

namespace {

Notification *record(const QDateTime &date, int requestId = 0)
{
    auto n = new Notification;
    n->setTitle(QStringLiteral("t"));
    n->setSubtitle(QStringLiteral("s"));
    n->setRequestId(requestId);
    n->setDateTime(date);
    return n;
}

} // namespace

void tst_Notification::initTestCase()
{
    TestSupport::useTemporarySettings(m_settings);
}

void tst_Notification::fromJSON_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("requestId");
    QTest::addColumn<int>("terminalId");
    QTest::addColumn<int>("statusId");
    QTest::newRow("complete") << QByteArray(
        R"({"request_id":7,"terminal_id":3,"status_id":2,"title":"Mesa 4","subtitle":"Pedido pronto","lastModifiedBy":"Ana"})")
                              << true << 7 << 3 << 2;
    QTest::newRow("ids as strings") << QByteArray(
        R"({"request_id":"7","terminal_id":"3","status_id":"2","title":"a","subtitle":"b"})")
                                    << true << 0 << 0 << 0;
    QTest::newRow("fraction") << QByteArray(R"({"request_id":7.5,"title":"a","subtitle":"b"})") << true << 0
                              << 0 << 0;
    QTest::newRow("huge") << QByteArray(R"({"request_id":1e20,"title":"a","subtitle":"b"})") << true << 0 << 0
                          << 0;
    QTest::newRow("no title") << QByteArray(R"({"subtitle":"b"})") << false << 0 << 0 << 0;
    QTest::newRow("empty subtitle") << QByteArray(R"({"title":"a","subtitle":""})") << false << 0 << 0 << 0;
    QTest::newRow("title not a string")
        << QByteArray(R"({"title":5,"subtitle":"b"})") << false << 0 << 0 << 0;
    QTest::newRow("empty object") << QByteArray("{}") << false << 0 << 0 << 0;
}

void tst_Notification::fromJSON()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, accepted);
    QFETCH(int, requestId);
    QFETCH(int, terminalId);
    QFETCH(int, statusId);
    std::unique_ptr<Notification> n(Notification::fromJSON(QJsonDocument::fromJson(json).object()));
    QCOMPARE(bool(n), accepted);
    if (!n)
        return;
    QCOMPARE(n->requestId(), requestId);
    QCOMPARE(n->terminalId(), terminalId);
    QCOMPARE(n->statusId(), statusId);
    QVERIFY(n->parent() == nullptr);
}

void tst_Notification::dateParsing_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("pattern") << "2026-12-06T09:30:05" << QDateTime(QDate(2026, 12, 6), QTime(9, 30, 5));
    QTest::newRow("time zone suffix") << "2026-12-06T09:30:05Z" << QDateTime();
    QTest::newRow("fraction") << "2026-12-06T09:30:05.250" << QDateTime();
    QTest::newRow("space") << "2026-12-06 09:30:05" << QDateTime();
}

void tst_Notification::dateParsing()
{
    QFETCH(QString, date);
    QFETCH(QDateTime, expected);
    std::unique_ptr<Notification> n(
        Notification::fromJSON({ { "title", "a" }, { "subtitle", "b" }, { "date", date } }));
    QCOMPARE(n->dateTime().isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(n->dateTime(), expected);

    // No date: dated now.
    std::unique_ptr<Notification> undated(Notification::fromJSON({ { "title", "a" }, { "subtitle", "b" } }));
    QVERIFY(qAbs(undated->dateTime().secsTo(QDateTime::currentDateTime())) <= 1);
}

void tst_Notification::toJSONRoundTrip()
{
    const QJsonObject in { { "request_id", 7 }, { "terminal_id", 3 }, { "status_id", 2 },
        { "title", "Mesa 4" }, { "subtitle", "Pedido pronto" }, { "lastModifiedBy", "Ana" },
        { "date", "2026-12-06T09:30:05" } };
    std::unique_ptr<Notification> n(Notification::fromJSON(in));
    QCOMPARE(n->toJSON(), in);
}

void tst_Notification::twentyFirstPushesOutFirst()
{
    PrintClient client;
    QPointer<Notification> first = record(QDateTime::currentDateTime(), 1);
    client.addNotification(first);
    for (int i = 2; i <= 21; ++i)
        client.addNotification(record(QDateTime::currentDateTime(), i));
    const auto list = client.notifications();
    QCOMPARE(list.size(), 20);
    QCOMPARE(list.first()->requestId(), 2);
    QCOMPARE(list.last()->requestId(), 21);
    // Two notifications with the same id are two entries.
    client.addNotification(record(QDateTime::currentDateTime(), 21));
    QCOMPARE(client.notifications().last()->requestId(), 21);
    QCOMPARE(client.notifications().at(18)->requestId(), 21);
    QTRY_VERIFY(first.isNull());
}

void tst_Notification::sweepByAge_data()
{
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("kept");
    QTest::newRow("fresh") << 0 << true;
    QTest::newRow("1200 s") << 1200 << true;
    QTest::newRow("1201 s") << 1201 << false;
    QTest::newRow("an hour") << 3600 << false;
    QTest::newRow("future") << -600 << true;
}

void tst_Notification::sweepByAge()
{
    QFETCH(int, ageSeconds);
    QFETCH(bool, kept);
    PrintClient client;
    client.startup();
    // Whole seconds, as the sweep counts them; a few hundred ms of test time cannot tip 1200 over.
    const QDateTime now = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
    client.addNotification(record(now.addSecs(-ageSeconds), 1));
    client.addNotification(record(QDateTime(), 2));
    client.checkNotificationDelete();
    const auto list = client.notifications();
    QCOMPARE(list.size(), kept ? 1 : 0);
    if (kept)
        QCOMPARE(list.first()->requestId(), 1);
}

void tst_Notification::sweepReArmsAndAlwaysNotifies()
{
    PrintClient client;
    client.setRefreshIntervals(3000, 30000, 50);
    QSignalSpy spy(&client, &PrintClient::notificationsChanged);
    client.startup();
    QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 3, 5000);
}

void tst_Notification::addFromOtherThreads()
{
    PrintClient client;
    client.startup();
    QList<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads << QThread::create([&client, t] {
            for (int i = 0; i < 50; ++i) {
                client.addNotification(Notification::fromJSON(
                    { { "title", "a" }, { "subtitle", "b" }, { "request_id", t * 100 + i } }));
                for (const auto &n : client.notifications())
                    (void)n->toJSON();
            }
        });
        threads.last()->start();
    }
    for (int i = 0; i < 50; ++i) {
        client.checkNotificationDelete();
        QCoreApplication::processEvents();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    QCOMPARE(client.notifications().size(), 20);
    for (const auto &n : client.notifications())
        QCOMPARE(n->thread(), client.thread());
}

QTEST_MAIN(tst_Notification)
#include "tst_notification.moc"
