// What only the Newnote worker does: DLE framing, commands sent during a poll, cleaning of the
// received messages.

#include "terminalline.h"
#include "tpaworkernewnote.h"

#include <QTest>

namespace {
const QString added = QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
const QByteArray open = QByteArrayLiteral("S000100000011");
} // namespace

class TestTpaWorkerNewnote : public QObject
{
    Q_OBJECT

private slots:
    void commandFrame();
    void commandDuringPollSentAtOnce();
    void statusReply();
    void statusReplyDuringCommandKeepsOutcome();
    void parseStatusMsg_data();
    void parseStatusMsg();
    void purchaseReplyCleaned();
};

void TestTpaWorkerNewnote::commandFrame()
{
    TerminalLine line { TerminalSimulator::Newnote };
    QVERIFY(line.open());
    emit line.harness.sendMessage(open);
    // No byte of the message is doubled or escaped.
    QTRY_COMPARE(line.simulator.rawReceived(), QByteArray::fromHex("100253303030313030303030303131100341"));
    QTRY_COMPARE(line.simulator.messages(), QList<QByteArray> { open });
}

void TestTpaWorkerNewnote::commandDuringPollSentAtOnce()
{
    TerminalLine line { TerminalSimulator::Newnote };
    line.simulator.setAnswerPolls(false);
    QVERIFY(line.open());
    emit line.harness.sendMessage(open);
    QTRY_COMPARE(line.simulator.messages(), QList<QByteArray> { open });
    QCOMPARE(line.harness.transactionStatuses, QStringList { added });
    QTRY_COMPARE(line.harness.transitions, QList<bool> { true });
}

void TestTpaWorkerNewnote::statusReply()
{
    TerminalLine line { TerminalSimulator::Newnote };
    QVERIFY(line.open());
    line.simulator.sendMessage("M001 PRONTO (1)!");
    QTRY_COMPARE(line.harness.statuses, QStringList { "M001 PRONTO (1" });
    QTRY_COMPARE(line.simulator.acknowledgements(), QByteArray(1, TpaWorker::ACK));
    QVERIFY(line.harness.transactionStatuses.isEmpty());
}

void TestTpaWorkerNewnote::statusReplyDuringCommandKeepsOutcome()
{
    // The poll's answer arrives after the purchase went out: the purchase still runs, and
    // its own reply ends it with the outcome reported.
    TerminalLine line { TerminalSimulator::Newnote };
    line.simulator.setAnswerPolls(false);
    QVERIFY(line.open());
    emit line.harness.sendMessage(open);
    QTRY_COMPARE(line.harness.transitions, QList<bool> { true });
    line.simulator.sendMessage("M00100");
    QTRY_COMPARE(line.harness.statuses, QStringList { "M00100" });
    QCOMPARE(line.harness.transitions, QList<bool> { true });
    line.simulator.sendMessage("S00000 ABERTO");
    QTRY_COMPARE(line.harness.transitions, (QList<bool> { true, false }));
    QCOMPARE(line.harness.transactionStatuses, (QStringList { added, "S00000 ABERTO" }));
}

void TestTpaWorkerNewnote::parseStatusMsg_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("cleaned");
    const QByteArray removed = QByteArray::fromHex("00299f1c9a0821060210");
    for (char c : removed) {
        const QByteArray one(1, c);
        const QByteArray hex = one.toHex();
        QTest::addRow("%s at the start", hex.constData()) << one + "C000" << QByteArray("C000");
        QTest::addRow("%s inside", hex.constData()) << "C0" + one + "00" << QByteArray("C000");
        QTest::addRow("%s at the end", hex.constData()) << "C000" + one << QByteArray("C000");
        QTest::addRow("%s repeated", hex.constData())
            << one + one + "C" + one + one + "000" + one + one << QByteArray("C000");
    }
    QTest::newRow("all ten") << "C000" + removed + "OK" << QByteArray("C000OK");
    QTest::newRow("readable text") << QByteArray("M001 (PRONTO)! ok") << QByteArray("M001 (PRONTO ok");
    QTest::newRow("other bytes stay")
        << QByteArray::fromHex("0103159e9b0920ff") << QByteArray::fromHex("0103159e9b0920ff");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("nothing left") << removed << QByteArray();
}

void TestTpaWorkerNewnote::parseStatusMsg()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, cleaned);
    QCOMPARE(TpaWorkerNewnote::parseStatusMsg(message), cleaned);
}

void TestTpaWorkerNewnote::purchaseReplyCleaned()
{
    TerminalLine line { TerminalSimulator::Newnote };
    line.simulator.setAnswerCommands(true);
    QVERIFY(line.open());
    const QByteArray purchase = QByteArray("C000") + "10" + "0000" + "00001250" + "000" + "0" + "1" + "0"
        + "0" + "0" + QByteArray::fromHex("0b9f1c009a009f21009f0200");
    emit line.harness.sendMessage(purchase);
    QTRY_COMPARE(line.harness.ends(), 1);
    // Tags, lengths, NULs and the DLE before ETX are gone; the values stay.
    QCOMPARE(line.harness.transactionStatuses,
        (QStringList { added, QStringLiteral("C0000000001250TPA00001240131123456\x12P") }));
}

QTEST_GUILESS_MAIN(TestTpaWorkerNewnote)
#include "tst_tpaworkernewnote.moc"
