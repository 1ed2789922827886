// What only the Ingenico worker does: the poll holds commands back, M025 is answered, M01101
// times the command out.

#include "terminalline.h"
#include "tpaworkeringenico.h"

#include <QTest>

namespace {
const QString added = QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
const QString refused = QString::fromUtf8("VRL1001|M10|Já existe um comando a ser processado");
const QString timeout = QStringLiteral("VRL1001|M99|Operation Timeout");
const QByteArray purchase = QByteArrayLiteral("P05100133304978200001250");
const QByteArray poll = QByteArrayLiteral("M00005LB020000");
const QByteArray marker = QByteArrayLiteral("X000");
} // namespace

class TestTpaWorkerIngenico : public QObject
{
    Q_OBJECT

private slots:
    void defaultIntervals();
    void commandWaitsForStatusReply();
    void commandWaitsForNextPollTick();
    void m025Answered_data();
    void m025Answered();
    void m01101TimesOut_data();
    void m01101TimesOut();
    void pollSchedule();
};

void TestTpaWorkerIngenico::defaultIntervals()
{
    TpaWorkerIngenico worker(QSerialPortInfo {});
    const TpaWorker::Intervals intervals = worker.intervals();
    QCOMPARE(intervals.firstPollMs, 5000);
    QCOMPARE(intervals.pollMs, 30000);
    QCOMPARE(intervals.pollAfterCommandMs, 2000);
    QCOMPARE(intervals.pollReplyTimeoutMs, 5000);
    QCOMPARE(intervals.transactionTimeoutMs, 60000);
}

void TestTpaWorkerIngenico::commandWaitsForStatusReply()
{
    TerminalLine line { TerminalSimulator::Ingenico };
    line.simulator.setAnswerPolls(false);
    QVERIFY(line.open());
    emit line.harness.sendMessage(purchase);
    QTRY_COMPARE(line.harness.transactionStatuses, QStringList { added });
    // Accepted at once, but held while the poll waits for its reply; a second one is refused.
    line.harness.onWorkerThread([](TpaWorker *worker) {
        QCOMPARE(worker->pending(), purchase);
        QVERIFY(worker->isStatusPending());
        QVERIFY(!worker->isInTransaction());
    });
    emit line.harness.sendMessage("P00100133304978200");
    QTRY_COMPARE(line.harness.transactionStatuses, (QStringList { added, refused }));
    QVERIFY(line.simulator.messages().isEmpty());
    QVERIFY(line.harness.transitions.isEmpty());

    line.simulator.sendMessage("M000000");
    QTRY_COMPARE(line.simulator.messages(), QList<QByteArray> { purchase });
    QCOMPARE(line.harness.statuses, QStringList { "M000000" });
    QTRY_COMPARE(line.harness.transitions, QList<bool> { true });
}

void TestTpaWorkerIngenico::commandWaitsForNextPollTick()
{
    TpaWorker::Intervals intervals = TpaWorkerHarness::fastIntervals();
    intervals.pollMs = 400;
    TerminalLine line { TerminalSimulator::Ingenico, intervals };
    line.simulator.setAnswerPolls(false);
    QVERIFY(line.open());
    emit line.harness.sendMessage(purchase);
    QTRY_COMPARE(line.harness.transactionStatuses, QStringList { added });
    line.harness.onWorkerThread([](TpaWorker *worker) { QCOMPARE(worker->pending(), purchase); });
    // The terminal never answers the poll: the next tick sends the command instead of a poll.
    QTRY_COMPARE(line.simulator.messages(), QList<QByteArray> { purchase });
    QCOMPARE(line.harness.transitions, QList<bool> { true });
}

void TestTpaWorkerIngenico::m025Answered_data()
{
    QTest::addColumn<bool>("inCommand");
    QTest::newRow("idle") << false;
    QTest::newRow("during a command") << true;
}

void TestTpaWorkerIngenico::m025Answered()
{
    QFETCH(bool, inCommand);
    TerminalLine line { TerminalSimulator::Ingenico };
    QVERIFY(line.open());
    if (inCommand) {
        emit line.harness.sendMessage(purchase);
        QTRY_COMPARE(line.simulator.count(purchase), 1);
    }
    line.simulator.sendMessage("M025123");
    QTRY_COMPARE(line.simulator.count("M025000"), 1);
    line.simulator.sendMessage(marker);
    QTRY_VERIFY(line.harness.transactionStatuses.contains(QString::fromLatin1(marker)));
    QVERIFY(line.harness.transactionStatuses.contains("M025123"));
    QCOMPARE(line.harness.transitions, inCommand ? QList<bool> { true } : QList<bool> {});
    QCOMPARE(line.simulator.acknowledgements(), QByteArray(2, TpaWorker::ACK));
}

void TestTpaWorkerIngenico::m01101TimesOut_data()
{
    QTest::addColumn<bool>("inCommand");
    QTest::newRow("idle") << false;
    QTest::newRow("during a command") << true;
}

void TestTpaWorkerIngenico::m01101TimesOut()
{
    QFETCH(bool, inCommand);
    TerminalLine line { TerminalSimulator::Ingenico };
    QVERIFY(line.open());
    if (inCommand) {
        emit line.harness.sendMessage(purchase);
        QTRY_COMPARE(line.simulator.count(purchase), 1);
    }
    line.simulator.sendMessage("M01101");
    line.simulator.sendMessage(marker);
    QTRY_VERIFY(line.harness.transactionStatuses.contains(QString::fromLatin1(marker)));
    if (inCommand) {
        QCOMPARE(line.harness.events,
            (QStringList { "transaction:" + added, "in:true", "transaction:M01101", "transaction:" + timeout,
                "in:false", "transaction:X000" }));
        QTRY_COMPARE(line.simulator.count(poll), 1);
    } else {
        QCOMPARE(line.harness.events, (QStringList { "transaction:M01101", "transaction:X000" }));
    }
}

void TestTpaWorkerIngenico::pollSchedule()
{
    TpaWorker::Intervals intervals = TpaWorkerHarness::fastIntervals();
    intervals.pollAfterCommandMs = 150;
    intervals.pollMs = 1500;
    TerminalLine line { TerminalSimulator::Ingenico, intervals };
    QVERIFY(line.open());
    emit line.harness.sendMessage(purchase);
    QTRY_COMPARE(line.simulator.count(purchase), 1);
    const qint64 replyAt = line.simulator.now();
    line.simulator.sendMessage("P05100000012500000123");
    QTRY_COMPARE_WITH_TIMEOUT(line.simulator.count(poll), 2, 5000);
    QCOMPARE(line.harness.transitions, (QList<bool> { true, false }));
    const QList<qint64> times = line.simulator.messageTimes();
    const qint64 firstPoll = times.at(1) - replyAt;
    const qint64 secondPoll = times.at(2) - times.at(1);
    // A short wait after the command, then the regular interval.
    QVERIFY2(firstPoll >= 120 && firstPoll < 1000, qPrintable(QString::number(firstPoll)));
    QVERIFY2(secondPoll >= 1400, qPrintable(QString::number(secondPoll)));
}

QTEST_GUILESS_MAIN(TestTpaWorkerIngenico)
#include "tst_tpaworkeringenico.moc"
