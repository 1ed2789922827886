#include "cupsscheduler.h"
#include "printclient.h"
#include "printer.h"
#include "testsupport.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Printers as the controller sees them, against a private CUPS scheduler.
class tst_Printer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void hash_data();
    void hash();
    void availabilityDefaultsOffAndPersists();
    void setAvailableAlwaysEmitsAndWrites();
    void stateFollowsQueue();
    void mergeKeepsIdentityAndOrder();
    void refreshFindsAddedAndDeletedQueues();
    void updatePrintersFetchesUntilNextMerge();
    void snapshotOutlivesRemoval();

private:
    void addQueue(const QString &name);
    QPrinterInfo info(const QString &name) const;

    CupsScheduler m_cups;
    std::unique_ptr<QTemporaryDir> m_settings;
};

void tst_Printer::initTestCase()
{
    // Started before the first printer lookup: libcups reads CUPS_SERVER once per thread.
    QVERIFY(m_cups.start());
    addQueue(QStringLiteral("Kitchen"));
    addQueue(QStringLiteral("Counter"));
}

void tst_Printer::cleanupTestCase()
{
    m_cups.stop();
}

void tst_Printer::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    TestSupport::useTemporarySettings(*m_settings);
}

void tst_Printer::addQueue(const QString &name)
{
    QVERIFY(m_cups.addQueue(name));
}

QPrinterInfo tst_Printer::info(const QString &name) const
{
    return QPrinterInfo::printerInfo(name);
}

void tst_Printer::hash_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hash");
    QTest::newRow("Kitchen") << "Kitchen"
                             << "AYYYwOHnGnmVwUcNcljdiWNyiBg=";
    QTest::newRow("plus") << "Counter"
                          << "9AGARc+0WLJzTSsJz3YsJWeHjEE=";
    QTest::newRow("slashes") << "Receipt5"
                             << "z7m/atO3TLgU7Qs/V+fgk8p1Ylw=";
}

void tst_Printer::hash()
{
    QFETCH(QString, name);
    QFETCH(QString, hash);
    addQueue(name);
    Printer printer(info(name));
    QCOMPARE(printer.getHash(), hash);

    // A "/" in the hash nests the key one group deeper; it still reads back.
    printer.setAvailable(true);
    QCOMPARE(QSettings().value(QStringLiteral("printers/") + hash).toBool(), true);
    QVERIFY(Printer(info(name)).available());
}

void tst_Printer::availabilityDefaultsOffAndPersists()
{
    {
        Printer printer(info(QStringLiteral("Kitchen")));
        QCOMPARE(printer.name(), QStringLiteral("Kitchen"));
        QVERIFY(!printer.available());
        printer.setAvailable(true);
    }
    QCOMPARE(QSettings().value(QStringLiteral("printers/AYYYwOHnGnmVwUcNcljdiWNyiBg=")).toBool(), true);
    Printer again(info(QStringLiteral("Kitchen")));
    QVERIFY(again.available());
    Printer other(info(QStringLiteral("Counter")));
    QVERIFY(!other.available());
}

void tst_Printer::setAvailableAlwaysEmitsAndWrites()
{
    Printer printer(info(QStringLiteral("Counter")));
    QSignalSpy spy(&printer, &Printer::availableChanged);
    const QString key = QStringLiteral("printers/") + printer.getHash();
    printer.setAvailable(false);
    QCOMPARE(spy.count(), 1);
    QVERIFY(QSettings().contains(key));
    QCOMPARE(QSettings().value(key).toBool(), false);
}

void tst_Printer::stateFollowsQueue()
{
    Printer printer(info(QStringLiteral("Counter")));
    QVERIFY(printer.state());
    QVERIFY(m_cups.setQueueEnabled(QStringLiteral("Counter"), false));
    QVERIFY(!printer.state());
    QVERIFY(m_cups.setQueueEnabled(QStringLiteral("Counter"), true));
    QVERIFY(printer.state());

    // A queue that has gone is not ready either.
    addQueue(QStringLiteral("Gone"));
    Printer gone(info(QStringLiteral("Gone")));
    QVERIFY(gone.state());
    QVERIFY(m_cups.removeQueue(QStringLiteral("Gone")));
    QVERIFY(!gone.state());
}

void tst_Printer::mergeKeepsIdentityAndOrder()
{
    PrintClient client;
    client.onGetPrinters({ info(QStringLiteral("Kitchen")), info(QStringLiteral("Counter")) });
    const QList<Printer *> first = client.printerPointers();
    QCOMPARE(first.size(), 2);
    QCOMPARE(first.at(0)->name(), QStringLiteral("Kitchen"));
    first.at(1)->setAvailable(true);

    // Reordered descriptions change nothing.
    client.onGetPrinters({ info(QStringLiteral("Counter")), info(QStringLiteral("Kitchen")) });
    QCOMPARE(client.printerPointers(), first);

    // Kitchen vanishes: it is removed and released; when it comes back it is a new entry at the end.
    QPointer<Printer> kitchen = first.at(0);
    QSignalSpy changed(&client, &PrintClient::printersChanged);
    client.onGetPrinters({ info(QStringLiteral("Counter")) });
    QCOMPARE(changed.count(), 1);
    QCOMPARE(client.printerPointers(), QList<Printer *> { first.at(1) });
    QTRY_VERIFY(kitchen.isNull());
    client.onGetPrinters({ info(QStringLiteral("Kitchen")), info(QStringLiteral("Counter")) });
    QCOMPARE(client.printerPointers().size(), 2);
    QCOMPARE(client.printerPointers().at(0), first.at(1));
    QCOMPARE(client.printerPointers().at(1)->name(), QStringLiteral("Kitchen"));
    QVERIFY(client.printerPointers().at(0)->available());

    client.onGetPrinters({});
    QVERIFY(client.printerPointers().isEmpty());
}

void tst_Printer::refreshFindsAddedAndDeletedQueues()
{
    PrintClient client;
    client.setRefreshIntervals(50, 30000, 60000);
    client.startup();
    connect(&client, &PrintClient::requestPrinters, &client,
        [&client] { client.onGetPrinters(QPrinterInfo::availablePrinters()); });
    client.onGetPrinters(QPrinterInfo::availablePrinters());

    auto names = [&client] {
        QStringList list;
        for (Printer *printer : client.printerPointers())
            list << printer->name();
        return list;
    };
    QVERIFY(!names().contains(QStringLiteral("Office")));
    addQueue(QStringLiteral("Office"));
    QTRY_VERIFY_WITH_TIMEOUT(names().contains(QStringLiteral("Office")), 5000);
    QCOMPARE(names().last(), QStringLiteral("Office"));
    QVERIFY(m_cups.removeQueue(QStringLiteral("Office")));
    QTRY_VERIFY_WITH_TIMEOUT(!names().contains(QStringLiteral("Office")), 5000);
}

void tst_Printer::updatePrintersFetchesUntilNextMerge()
{
    PrintClient client;
    QSignalSpy spy(&client, &PrintClient::fetchingChanged);
    client.updatePrinters();
    QVERIFY(client.fetching());
    QCOMPARE(spy.count(), 1);
    client.onGetPrinters({});
    QVERIFY(!client.fetching());
    QCOMPARE(spy.count(), 2);
}

void tst_Printer::snapshotOutlivesRemoval()
{
    PrintClient client;
    client.onGetPrinters({ info(QStringLiteral("Kitchen")) });
    const QList<QSharedPointer<Printer>> snapshot = client.printerList();
    client.onGetPrinters({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Still readable: the snapshot keeps the object alive.
    QCOMPARE(snapshot.first()->name(), QStringLiteral("Kitchen"));
}

QTEST_MAIN(tst_Printer)
#include "tst_printer.moc"
