#include "apilog.h"
#include "applog.h"
#include "debuglist.h"
#include "debuglog.h"
#include "httplog.h"
#include "journallog.h"
#include "notification.h"
#include "printclient.h"
#include "printer.h"
#include "terminalslog.h"
#include "testsupport.h"
#include "tpa.h"

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>

class tst_PrintClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void snapshotsOutliveRefresh();
    void changesFromOtherThreadsAreAnnouncedOnItsThread();
    void paperOutToldOnceAndBackOnce();
    void debugLinesByCategory();

private:
    QTemporaryDir m_settings;
};

void tst_PrintClient::initTestCase()
{
    TestSupport::useTemporarySettings(m_settings);
}

// A request's snapshot of the lists keeps a printer, terminal or notification alive after a
// refresh, a sweep or newer notifications have dropped it, until the request lets go.
void tst_PrintClient::snapshotsOutliveRefresh()
{
    PrintClient client;
    client.onGetPrinters({ PrinterStatus() });
    client.onGetTpas(QList<SerialPortDescription> { { "a", "/nonexistent/a", "T", "M", 0x079B, 1 } });
    const auto note = [] { return Notification::fromJSON({ { "title", "t" }, { "subtitle", "s" } }); };
    for (int i = 0; i < 20; ++i)
        client.addNotification(note());
    QList<QSharedPointer<Printer>> printers = client.printerList();
    QList<QSharedPointer<Tpa>> tpas = client.tpaList();
    QList<QSharedPointer<Notification>> notes = client.notifications();
    QPointer<Printer> printer = printers.value(0).data();
    QPointer<Tpa> tpa = tpas.value(0).data();
    QPointer<Notification> oldest = notes.value(0).data();
    QVERIFY(printer && tpa && oldest);

    client.onGetPrinters({});
    client.onGetTpas(QList<SerialPortDescription>());
    client.addNotification(note()); // the 21st
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(client.printerList().isEmpty() && client.tpaList().isEmpty());
    QCOMPARE(client.notifications().size(), 20);
    QVERIFY(!client.notifications().contains(notes.first()));
    QVERIFY(printer && tpa && oldest);
    QCOMPARE(tpas.first()->lastStatus(QStringLiteral("A")), QString());
    printers.clear();
    tpas.clear();
    notes.clear();
    QTRY_VERIFY(printer.isNull() && tpa.isNull() && oldest.isNull());
}

// Connection threads add notifications and log lines; the window hears of it on the controller's
// thread only, and nothing is lost on the way.
void tst_PrintClient::changesFromOtherThreadsAreAnnouncedOnItsThread()
{
    PrintClient client;
    int here = 0;
    std::atomic<int> elsewhere { 0 };
    const auto count = [&] { QThread::currentThread() == client.thread() ? ++here : ++elsewhere; };
    connect(&client, &PrintClient::notificationsChanged, count);
    connect(&client, &PrintClient::debugMessagesChanged, count);
    DebugLog::configure(nullptr, new DebugList(&client), true, nullptr);
    qInstallMessageHandler(messageHandler);
    QList<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads << QThread::create([&client, t] {
            for (int i = 0; i < 20; ++i) {
                qDebug("thread %d line %d", t, i);
                client.addNotification(Notification::fromJSON({ { "title", "a" }, { "subtitle", "b" } }));
            }
        });
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(10000));
        delete thread;
    }
    qInstallMessageHandler(nullptr);

    QTRY_COMPARE(here, 160);
    QCOMPARE(elsewhere, 0);
    const QStringList lines = client.debugMessages();
    QCOMPARE(QSet<QString>(lines.cbegin(), lines.cend()).size(), 80);
    for (const QSharedPointer<Notification> &record : client.notifications())
        QCOMPARE(record->thread(), client.thread());
    DebugLog::configure(nullptr, nullptr, false, nullptr);
}

// The tray says once that a printer with a receipt waiting ran out of paper, and once that the
// paper is back; a printer without a waiting receipt says nothing.
void tst_PrintClient::paperOutToldOnceAndBackOnce()
{
    PrintClient client;
    QSignalSpy told(&client, &PrintClient::messageChanged);
    const auto poll = [&](const QString &name, const QStringList &reasons, int queuedJobs) {
        PrinterStatus queue;
        queue.name = name;
        queue.reasons = reasons;
        queue.queuedJobs = queuedJobs;
        QueuePoller::Result result;
        result.answered = true;
        result.queues = { queue };
        client.onQueuesPolled(result);
    };
    poll(QStringLiteral("Bar"), { QStringLiteral("media-empty-error") }, 0);
    QCOMPARE(told.count(), 0);
    poll(QStringLiteral("Cozinha"), { QStringLiteral("media-empty-error") }, 1);
    poll(QStringLiteral("Cozinha"), { QStringLiteral("media-empty-error") }, 1);
    QCOMPARE(told.count(), 1);
    QCOMPARE(client.message(), QStringLiteral("Impressora Cozinha: sem papel; o talão espera pelo papel."));
    poll(QStringLiteral("Cozinha"), {}, 1);
    poll(QStringLiteral("Cozinha"), {}, 0);
    QCOMPARE(told.count(), 2);
    QCOMPARE(client.message(), QStringLiteral("Impressora Cozinha: de novo com papel."));
}

// Every part of the program logs in a category of its own whose debug lines are off until a rule
// or the debug switch turns them on; the rules in the environment (set in main() below) win.
void tst_PrintClient::debugLinesByCategory()
{
    const QList<const QLoggingCategory *> categories
        = { &lcApp(), &lcApi(), &lcHttp(), &lcRefused(), &lcTerminals(), &lcJournal() };
    for (const QLoggingCategory *category : categories)
        QVERIFY2(category->isDebugEnabled() == (category == &lcTerminals()), category->categoryName());
    DebugLog::enableDebugLines();
    for (const QLoggingCategory *category : categories)
        QVERIFY2(category->isDebugEnabled() == (category != &lcJournal()), category->categoryName());
    QLoggingCategory::setFilterRules(QString());
}

int main(int argc, char *argv[])
{
    qputenv("QT_LOGGING_RULES", "varnel.terminals.debug=true;varnel.journal.debug=false");
    QApplication app(argc, argv);
    tst_PrintClient test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_printclient.moc"
