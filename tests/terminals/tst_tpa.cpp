#include "printclient.h"
#include "ptypair.h"
#include "terminalsimulator.h"
#include "testsupport.h"
#include "tpa.h"

#include <QPointer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// A terminal's records, messages and buffers. The ports here do not exist, so the workers
// never answer; the worker's reports are fed to the slots directly.
class tst_Tpa : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void hash_data();
    void hash();
    void availabilityDefaultsOnAndIsSharedByModel();
    void name();

    void messages_data();
    void messages();
    void amount_data();
    void amount();
    void dateTime();

    void statusBusyForOtherTerminalIds();
    void transactionTextsGrowThenAreConsumed();
    void clearRefusedDuringTransaction();
    void textWithoutCurrentTerminalIsDropped();
    void newnoteMenuSendsNothingButBecomesCurrent();

    void mergeChoosesFamilyByVendor();
    void mergeKeepsIdentityAndStopsRemovedTerminals();
    void updateTpasEnumeratesAtOnce();

    void purchaseThroughWorkerOverPty_data();
    void purchaseThroughWorkerOverPty();

private:
    static SerialPortDescription port(const QString &name, quint16 vendor, quint16 product = 0x0001)
    {
        return SerialPortDescription(name, QStringLiteral("/nonexistent/") + name, QStringLiteral("Terminal"),
            QStringLiteral("Maker"), vendor, product);
    }
    std::unique_ptr<QTemporaryDir> m_settings;
};

void tst_Tpa::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    TestSupport::useTemporarySettings(*m_settings);
}

void tst_Tpa::hash_data()
{
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("hash");
    // Expected values computed independently: SHA-1 over the UTF-8 of the ids as characters,
    // e.g. vendor 0x0B00 is E0 AC 80 and 0x0403 is D0 83.
    QTest::newRow("0b00:0080") << 0x0B00 << 0x0080 << "MWHftA5YZbWUdcasojHw0yqv2fc=";
    QTest::newRow("0403:6001") << 0x0403 << 0x6001 << "3JjFF5VjQmz2frt9wweUhQwrJOI=";
    QTest::newRow("079b:0028") << 0x079B << 0x0028 << "qI1Xp4Q0Dhg+XpQkKsDTdIeIN7o=";
    QTest::newRow("1e0e:0001") << 0x1E0E << 0x0001 << "NJXqroyWytSDfFfdJmWDPSWv0YA=";
    QTest::newRow("no ids") << 0 << 0 << "FIn5I8TcpykXiz4yM0WFUNjd3yk=";
}

void tst_Tpa::hash()
{
    QFETCH(int, vendor);
    QFETCH(int, product);
    QFETCH(QString, hash);
    QCOMPARE(Tpa::getHash(quint16(vendor), quint16(product)), hash);
}

void tst_Tpa::availabilityDefaultsOnAndIsSharedByModel()
{
    {
        Tpa first(port(QStringLiteral("ttyACM0"), 0x079B, 0x0028), Tpa::Ingenico);
        QVERIFY(first.available());
        QSignalSpy spy(&first, &Tpa::availableChanged);
        first.setAvailable(false);
        first.setAvailable(false);
        QCOMPARE(spy.count(), 2);
    }
    QCOMPARE(QSettings().value(QStringLiteral("tpa/qI1Xp4Q0Dhg+XpQkKsDTdIeIN7o=")).toBool(), false);
    // Same vendor and product on another port: the same key, so the choice carries over.
    Tpa second(port(QStringLiteral("ttyACM1"), 0x079B, 0x0028), Tpa::Ingenico);
    QVERIFY(!second.available());
    Tpa other(port(QStringLiteral("ttyUSB0"), 0x0403, 0x6001), Tpa::Newnote);
    QVERIFY(other.available());
}

void tst_Tpa::name()
{
    Tpa tpa(port(QStringLiteral("ttyACM0"), 0x079B), Tpa::Ingenico);
    QCOMPARE(tpa.name(), QStringLiteral("Terminal [ttyACM0]"));
    QVERIFY(!tpa.state());
}

void tst_Tpa::messages_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("marksTransaction");
    const QByteArray emv("\x0B\x9F\x1C\x00\x9A\x00\x9F\x21\x00\x9F\x02\x00", 12);
    QTest::newRow("Ingenico purchase") << 1 << "purchase" << QByteArray("P05100133304978200001250") << true;
    QTest::newRow("Ingenico refund") << 1 << "refund"
                                     << QByteArray("P06100133302978200001250T123420240131123456") << true;
    QTest::newRow("Ingenico open") << 1 << "open" << QByteArray("P001001333049782") << true;
    QTest::newRow("Ingenico close") << 1 << "close" << QByteArray("P042101333049782") << true;
    QTest::newRow("Ingenico menu") << 1 << "menu" << QByteArray("M00500") << true;
    QTest::newRow("Ingenico reprint") << 1 << "reprint" << QByteArray("M00505") << true;
    QTest::newRow("Newnote purchase")
        << 2 << "purchase" << QByteArray("C0001000000000125000001000") + emv << true;
    QTest::newRow("Newnote refund") << 2 << "refund" << QByteArray("C00210000000001250T123420240131123456110")
                                    << true;
    QTest::newRow("Newnote open") << 2 << "open" << QByteArray("S000100000011") << true;
    QTest::newRow("Newnote close") << 2 << "close" << QByteArray("S001100000011") << true;
}

void tst_Tpa::messages()
{
    QFETCH(int, family);
    QFETCH(QString, command);
    QFETCH(QByteArray, expected);
    QFETCH(bool, marksTransaction);
    Tpa tpa(port(QStringLiteral("ttyX"), family == 1 ? 0x079B : 0x0403), family);
    QSignalSpy spy(&tpa, &Tpa::sendMessage);
    const QString id = QStringLiteral("pos-1");
    if (command == QLatin1String("purchase"))
        tpa.setTpaPurchase(id, QStringLiteral("12.50"));
    else if (command == QLatin1String("refund"))
        tpa.setTpaRefund(
            id, QStringLiteral("T1234"), QStringLiteral("2024-01-31 12:34:56"), QStringLiteral("12,50"));
    else if (command == QLatin1String("open"))
        tpa.setTpaOpen(id);
    else if (command == QLatin1String("close"))
        tpa.setTpaClose(id);
    else if (command == QLatin1String("menu"))
        tpa.setTpaOpenMenu(id);
    else
        tpa.setTpaReprintLastReceipt(id);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), expected);
    QCOMPARE(tpa.isInTransaction(), marksTransaction);
    QCOMPARE(tpa.terminalTpaIndex(id), 0);
}

void tst_Tpa::amount_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QByteArray>("normalised");
    QTest::newRow("12.50") << "12.50" << QByteArray("00001250");
    QTest::newRow("12.5") << "12.5" << QByteArray("00000125");
    QTest::newRow("thousands") << "1,234.56" << QByteArray("00123456");
    QTest::newRow("long kept") << "123456789" << QByteArray("123456789");
    QTest::newRow("empty") << "" << QByteArray("00000000");
    QTest::newRow("not a number") << "abc" << QByteArray("00000abc");
}

void tst_Tpa::amount()
{
    QFETCH(QString, amount);
    QFETCH(QByteArray, normalised);
    QCOMPARE(Tpa::normaliseAmount(amount), normalised);
}

void tst_Tpa::dateTime()
{
    QCOMPARE(Tpa::normaliseDateTime(QStringLiteral("2024-01-31 12:34:56")), QByteArray("20240131123456"));
    QCOMPARE(Tpa::normaliseDateTime(QString()), QByteArray());
}

void tst_Tpa::statusBusyForOtherTerminalIds()
{
    Tpa tpa(port(QStringLiteral("ttyX"), 0x079B), Tpa::Ingenico);
    QCOMPARE(tpa.lastStatus(QStringLiteral("A")), QString());
    tpa.onSetStatus(QStringLiteral("M000 idle"));
    QCOMPARE(tpa.lastStatus(QStringLiteral("B")), QStringLiteral("M000 idle"));

    tpa.setTpaPurchase(QStringLiteral("A"), QStringLiteral("1.00"));
    QCOMPARE(tpa.lastStatus(QStringLiteral("B")), QStringLiteral("VRL1001|M10|TPA already busy"));
    QCOMPARE(tpa.lastStatus(QStringLiteral("A")), QStringLiteral("M000 idle"));
    QCOMPARE(tpa.lastStatus(QStringLiteral("new")), QStringLiteral("VRL1001|M10|TPA already busy"));

    tpa.onInTransactionChanged(false);
    QVERIFY(!tpa.isInTransaction());
    QCOMPARE(tpa.lastStatus(QStringLiteral("B")), QStringLiteral("M000 idle"));
}

void tst_Tpa::transactionTextsGrowThenAreConsumed()
{
    Tpa tpa(port(QStringLiteral("ttyX"), 0x079B), Tpa::Ingenico);
    tpa.setTpaPurchase(QStringLiteral("A"), QStringLiteral("1.00"));
    tpa.onInTransactionChanged(true);
    tpa.onSetTransactionStatus(QStringLiteral("VRL0000|M00|Comando adicionado com sucesso"));
    QCOMPARE(tpa.lastTransactionStatus(QStringLiteral("A")).size(), 1);
    tpa.onSetTransactionStatus(QStringLiteral("M025"));
    QCOMPARE(tpa.lastTransactionStatus(QStringLiteral("A")).size(), 2);
    // Another point of sale sees nothing of it.
    QCOMPARE(tpa.lastTransactionStatus(QStringLiteral("B")), QStringList());

    tpa.onSetTransactionStatus(QStringLiteral("M0100 approved"));
    tpa.onInTransactionChanged(false);
    const QStringList all = tpa.lastTransactionStatus(QStringLiteral("A"));
    QCOMPARE(all,
        (QStringList { QStringLiteral("VRL0000|M00|Comando adicionado com sucesso"), QStringLiteral("M025"),
            QStringLiteral("M0100 approved") }));
    QCOMPARE(tpa.lastTransactionStatus(QStringLiteral("A")), QStringList());
}

void tst_Tpa::clearRefusedDuringTransaction()
{
    Tpa tpa(port(QStringLiteral("ttyX"), 0x0403), Tpa::Newnote);
    tpa.setTpaOpen(QStringLiteral("A"));
    tpa.onSetTransactionStatus(QStringLiteral("first"));
    QCOMPARE(tpa.clearLastTransactionStatus(QStringLiteral("A")), QStringList());
    QCOMPARE(tpa.clearLastTransactionStatus(QStringLiteral("B")), QStringList());
    tpa.onInTransactionChanged(false);
    QCOMPARE(tpa.clearLastTransactionStatus(QStringLiteral("A")), QStringList { QStringLiteral("first") });
    QCOMPARE(tpa.clearLastTransactionStatus(QStringLiteral("A")), QStringList());
}

void tst_Tpa::textWithoutCurrentTerminalIsDropped()
{
    Tpa tpa(port(QStringLiteral("ttyX"), 0x079B), Tpa::Ingenico);
    tpa.onSetTransactionStatus(QStringLiteral("stray"));
    QCOMPARE(tpa.lastTransactionStatus(QStringLiteral("A")), QStringList());
}

void tst_Tpa::newnoteMenuSendsNothingButBecomesCurrent()
{
    Tpa tpa(port(QStringLiteral("ttyX"), 0x0403), Tpa::Newnote);
    QSignalSpy spy(&tpa, &Tpa::sendMessage);
    tpa.onSetStatus(QStringLiteral("idle"));
    tpa.setTpaOpenMenu(QStringLiteral("A"));
    tpa.setTpaReprintLastReceipt(QStringLiteral("A"));
    QCOMPARE(spy.count(), 0);
    QVERIFY(!tpa.isInTransaction());
    QCOMPARE(tpa.lastStatus(QStringLiteral("B")), QStringLiteral("VRL1001|M10|TPA already busy"));
    tpa.onInTransactionChanged(false);
    QCOMPARE(tpa.lastStatus(QStringLiteral("B")), QStringLiteral("idle"));
}

void tst_Tpa::mergeChoosesFamilyByVendor()
{
    PrintClient client;
    client.onGetTpas(QList<SerialPortDescription> { port(QStringLiteral("a"), 0x079B),
        port(QStringLiteral("b"), 0x0B00), port(QStringLiteral("c"), 0x0403),
        port(QStringLiteral("d"), 0x1E0E), port(QStringLiteral("e"), 0x2341), port(QStringLiteral("f"), 0) });
    const QList<Tpa *> tpas = client.tpaPointers();
    QCOMPARE(tpas.size(), 4);
    QCOMPARE(tpas.at(0)->vendorId(), 1);
    QCOMPARE(tpas.at(1)->vendorId(), 1);
    QCOMPARE(tpas.at(2)->vendorId(), 2);
    QCOMPARE(tpas.at(3)->vendorId(), 2);
    QCOMPARE(tpas.at(3)->tpa().portName(), QStringLiteral("d"));
}

void tst_Tpa::mergeKeepsIdentityAndStopsRemovedTerminals()
{
    PrintClient client;
    const auto a = port(QStringLiteral("ttyACM0"), 0x079B, 0x0028);
    const auto b = port(QStringLiteral("ttyACM1"), 0x079B, 0x0028);
    client.onGetTpas(QList<SerialPortDescription> { a, b });
    const QList<Tpa *> first = client.tpaPointers();
    QCOMPARE(first.size(), 2);

    client.onGetTpas(QList<SerialPortDescription> { b, a });
    QCOMPARE(client.tpaPointers(), first);

    // Same port name with another product id is another device.
    QPointer<Tpa> gone = first.at(0);
    client.onGetTpas(QList<SerialPortDescription> { b, port(QStringLiteral("ttyACM0"), 0x079B, 0x0029) });
    QCOMPARE(client.tpaPointers().size(), 2);
    QCOMPARE(client.tpaPointers().at(0), first.at(1));
    QVERIFY(client.tpaPointers().at(1) != first.at(0));
    QTRY_VERIFY(gone.isNull());
}

void tst_Tpa::updateTpasEnumeratesAtOnce()
{
    PrintClient client;
    QSignalSpy requests(&client, &PrintClient::requestTpas);
    client.updateTpas();
    QVERIFY(client.fetching());
    QCOMPARE(requests.count(), 1);
    client.onGetTpas(QList<SerialPortDescription>());
    QVERIFY(client.fetching());
    client.onGetPrinters({});
    QVERIFY(!client.fetching());
}

void tst_Tpa::purchaseThroughWorkerOverPty_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("Ingenico") << 1 << QByteArray("P05100133304978200001250");
    QTest::newRow("Newnote") << 2 << QByteArray("C0001000000000125000001000");
}

void tst_Tpa::purchaseThroughWorkerOverPty()
{
    QFETCH(int, family);
    QFETCH(QByteArray, sent);
    PtyPair line;
    QVERIFY(line.start());
    TerminalSimulator terminal(family == 1 ? TerminalSimulator::Ingenico : TerminalSimulator::Newnote);
    QVERIFY(terminal.open(line.terminalEnd()));
    terminal.setAnswerCommands(true, 50);

    TpaWorker::Intervals fast;
    fast.firstPollMs = 20;
    fast.pollMs = 100;
    fast.pollAfterCommandMs = 50;
    fast.pollReplyTimeoutMs = 2000;
    fast.transactionTimeoutMs = 5000;
    const SerialPortDescription description(line.programEnd(), line.programEnd(),
        QStringLiteral("Virtual serial port"), QString(), family == 1 ? 0x079B : 0x0403, 0x0001);
    auto tpa = std::make_unique<Tpa>(description, family, nullptr, fast);

    // The worker's first poll is answered; the status is there for every point of sale.
    QTRY_VERIFY_WITH_TIMEOUT(!tpa->lastStatus(QStringLiteral("A")).isEmpty(), 5000);

    tpa->setTpaPurchase(QStringLiteral("A"), QStringLiteral("12.50"));
    QVERIFY(tpa->isInTransaction());
    QTRY_VERIFY_WITH_TIMEOUT(!tpa->isInTransaction(), 5000);
    const bool sawPurchase = std::any_of(terminal.messages().cbegin(), terminal.messages().cend(),
        [&sent](const QByteArray &m) { return m.startsWith(sent); });
    QVERIFY(sawPurchase);
    const QStringList texts = tpa->lastTransactionStatus(QStringLiteral("A"));
    QVERIFY2(texts.size() >= 2, qPrintable(texts.join(QLatin1Char(';'))));
    QCOMPARE(texts.first(), QStringLiteral("VRL0000|M00|Comando adicionado com sucesso"));
    QCOMPARE(tpa->lastTransactionStatus(QStringLiteral("A")), QStringList());

    // Taking the terminal away stops its worker: no more polls reach the line.
    tpa.reset();
    // A frame written just before the stop may still be on its way through the pty.
    QTest::qWait(150);
    const int heard = terminal.messages().size();
    QTest::qWait(400);
    QCOMPARE(terminal.messages().size(), heard);
}

QTEST_MAIN(tst_Tpa)
#include "tst_tpa.moc"
