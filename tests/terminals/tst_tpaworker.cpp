// Behaviour both terminal families share, each case run against both over a real pty pair.

#include "terminalline.h"
#include "tpaworkeringenico.h"
#include "tpaworkernewnote.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <sys/resource.h>

using Family = TerminalSimulator::Family;

namespace {

const QString added = QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
const QString refused = QString::fromUtf8("VRL1001|M10|Já existe um comando a ser processado");
const QString timeout = QStringLiteral("VRL1001|M99|Operation Timeout");

// A message neither family acts on, used to show that the worker has got past what came before.
const QByteArray marker = QByteArrayLiteral("X000");

QByteArray commandFor(Family family)
{
    return family == TerminalSimulator::Ingenico ? QByteArrayLiteral("P05100133304978200001250")
                                                 : QByteArrayLiteral("S000100000011");
}

void addFamilies()
{
    QTest::addColumn<int>("family");
    QTest::newRow("ingenico") << int(TerminalSimulator::Ingenico);
    QTest::newRow("newnote") << int(TerminalSimulator::Newnote);
}

qint64 cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Accepts writes but never confirms them, like a port whose output is stuck.
class StuckDevice : public QIODevice
{
public:
    StuckDevice() { open(QIODevice::ReadWrite); }
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return 0; }
    qint64 writeData(const char *data, qint64 size) override
    {
        written.append(data, int(size));
        return size;
    }
};

} // namespace

class TestTpaWorker : public QObject
{
    Q_OBJECT

private:
    // A line whose worker has sent command and the simulator has read it.
    std::unique_ptr<TerminalLine> lineInCommand(
        Family family, const TpaWorker::Intervals &intervals = TpaWorkerHarness::fastIntervals());

private slots:
    void pollFrame_data();
    void pollFrame();
    void receivedBytes_data();
    void receivedBytes();
    void terminatingReply_data();
    void terminatingReply();
    void nonTerminatingReply_data();
    void nonTerminatingReply();
    void secondCommandRefused_data() { addFamilies(); }
    void secondCommandRefused();
    void transactionTimeout_data() { addFamilies(); }
    void transactionTimeout();
    void receivedMessagesExtendTransaction_data() { addFamilies(); }
    void receivedMessagesExtendTransaction();
    void serialTimeoutResends_data() { addFamilies(); }
    void serialTimeoutResends();
    void unsolicitedMessageWhileIdle_data() { addFamilies(); }
    void unsolicitedMessageWhileIdle();
    void pollReplyTimeout_data() { addFamilies(); }
    void pollReplyTimeout();
    void simulatedCommand_data() { addFamilies(); }
    void simulatedCommand();
    void closedPort_data() { addFamilies(); }
    void closedPort();
    void portLost_data();
    void portLost();
};

std::unique_ptr<TerminalLine> TestTpaWorker::lineInCommand(
    Family family, const TpaWorker::Intervals &intervals)
{
    auto line = std::make_unique<TerminalLine>(family, intervals);
    if (!line->open())
        return nullptr;
    emit line->harness.sendMessage(commandFor(family));
    if (!QTest::qWaitFor([&] { return line->simulator.count(commandFor(family)) == 1; }, 5000))
        return nullptr;
    return line;
}

void TestTpaWorker::pollFrame_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("ingenico") << int(TerminalSimulator::Ingenico)
                              << QByteArray::fromHex("024d30303030354c423032303030300377");
    QTest::newRow("newnote") << int(TerminalSimulator::Newnote)
                             << QByteArray::fromHex("10024d3030313130505110036f");
}

void TestTpaWorker::pollFrame()
{
    QFETCH(int, family);
    QFETCH(QByteArray, frame);
    TerminalLine line { Family(family) };
    QVERIFY(line.pty.start());
    QVERIFY(line.simulator.open(line.pty.terminalEnd()));
    QVERIFY(line.harness.connected());
    line.harness.start();
    // The first poll goes out at start, before any interval has passed; the status reply is
    // acknowledged and reported.
    QTRY_COMPARE(line.simulator.rawReceived(), frame + TpaWorker::ACK);
    const QString statusReply = family == TerminalSimulator::Ingenico ? "M000000" : "M00100";
    QTRY_COMPARE(line.harness.statuses, QStringList { statusReply });
    QVERIFY(line.harness.transactionStatuses.isEmpty());
}

void TestTpaWorker::receivedBytes_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("acknowledgements");
    QTest::addColumn<QStringList>("reported");

    const QByteArray ack(1, TpaWorker::ACK);
    const QByteArray nak(1, TpaWorker::NAK);
    for (Family family : { TerminalSimulator::Ingenico, TerminalSimulator::Newnote }) {
        TerminalSimulator terminal(family);
        const char *name = family == TerminalSimulator::Ingenico ? "ingenico" : "newnote";
        const bool ingenico = family == TerminalSimulator::Ingenico;

        QByteArray badCheck = terminal.frame("P99912");
        badCheck[badCheck.size() - 1] = char(badCheck.back() ^ 0x01);
        const QByteArray stxInside = terminal.frame(QByteArray("A") + TpaWorker::STX + "B");

        QTest::addRow("%s good frame", name)
            << int(family) << terminal.frame("P99912") << ack << QStringList { "P99912" };
        QTest::addRow("%s bad check byte", name) << int(family) << badCheck << nak << QStringList {};
        QTest::addRow("%s bytes before start", name)
            << int(family) << QByteArray("junk\x06\x15\x10 ", 9) + terminal.frame("P99912") << ack
            << QStringList { "P99912" };
        const QString stxKept = QLatin1String("A") + QChar(TpaWorker::STX) + QLatin1String("B");
        QTest::addRow("%s start byte inside frame", name)
            << int(family) << stxInside << ack << QStringList { ingenico ? stxKept : QStringLiteral("AB") };
        QTest::addRow("%s lone end byte", name)
            << int(family) << QByteArray("\x03\x03") << ack << QStringList { QString() };
        QTest::addRow("%s two frames in one write", name)
            << int(family) << terminal.frame("P99912") + terminal.frame("P99913") << ack + ack
            << QStringList { "P99912", "P99913" };
        QTest::addRow("%s bad frame then good frame", name)
            << int(family) << badCheck + terminal.frame("P99913") << nak + ack << QStringList { "P99913" };
        QTest::addRow("%s NUL in the message", name)
            << int(family) << terminal.frame(QByteArray("AB\0CD", 5)) << ack
            << QStringList { ingenico ? QStringLiteral("AB") : QStringLiteral("ABCD") };
        QTest::addRow("%s Latin-1 text", name) << int(family) << terminal.frame("P999 \xe7\xe3o") << ack
                                               << QStringList { QString::fromUtf8("P999 ção") };
    }
}

void TestTpaWorker::receivedBytes()
{
    QFETCH(int, family);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, acknowledgements);
    QFETCH(QStringList, reported);

    TerminalLine line { Family(family) };
    QVERIFY(line.open());
    line.simulator.sendRaw(bytes);
    line.simulator.sendMessage(marker);
    reported += QString::fromLatin1(marker);
    QTRY_COMPARE(line.harness.transactionStatuses, reported);
    QTRY_COMPARE(line.simulator.acknowledgements(), acknowledgements + TpaWorker::ACK);
    QVERIFY(line.harness.statuses.isEmpty());
    QVERIFY(line.harness.transitions.isEmpty());
}

void TestTpaWorker::terminatingReply_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("reply");
    for (const char *code : { "P001", "P101", "P102", "P042", "P142", "P051", "P151", "P251", "P155", "P061",
             "P161", "P261", "M005" })
        QTest::addRow("ingenico %s", code)
            << int(TerminalSimulator::Ingenico) << QByteArray(code) + "00";
    QTest::newRow("ingenico M00E001") << int(TerminalSimulator::Ingenico) << QByteArray("M00E001");
    for (const char *code : { "S000", "S001", "C000", "C002" })
        QTest::addRow("newnote %s", code)
            << int(TerminalSimulator::Newnote) << QByteArray(code) + "00";
}

void TestTpaWorker::terminatingReply()
{
    QFETCH(int, family);
    QFETCH(QByteArray, reply);

    auto line = lineInCommand(Family(family));
    QVERIFY(line);
    TerminalLine &l = *line;
    QCOMPARE(l.harness.transitions, QList<bool> { true });

    const qint64 sentAt = l.simulator.now();
    l.simulator.sendMessage(reply);
    QTRY_COMPARE(l.harness.ends(), 1);
    QCOMPARE(l.harness.transactionStatuses, (QStringList { added, QString::fromLatin1(reply) }));
    QVERIFY(l.harness.statuses.isEmpty());

    // The next poll follows the end of the command after its own interval, and only once.
    const QByteArray poll = l.simulator.pollMessage();
    QTRY_COMPARE(l.simulator.count(poll), 1);
    const qint64 pollAt = l.simulator.messageTimes().at(l.simulator.messages().indexOf(poll));
    QVERIFY2(pollAt - sentAt >= 200, qPrintable(QString::number(pollAt - sentAt)));

    // The same reply again, with no command running, ends nothing.
    l.simulator.sendMessage(reply);
    l.simulator.sendMessage(marker);
    QTRY_VERIFY(l.harness.transactionStatuses.contains(QString::fromLatin1(marker)));
    QCOMPARE(l.harness.transitions, (QList<bool> { true, false }));
}

void TestTpaWorker::nonTerminatingReply_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("reply");
    const int ingenico = TerminalSimulator::Ingenico;
    const int newnote = TerminalSimulator::Newnote;
    QTest::newRow("ingenico M00E002") << ingenico << QByteArray("M00E002");
    QTest::newRow("ingenico M00E00") << ingenico << QByteArray("M00E00");
    QTest::newRow("ingenico longer than M01101") << ingenico << QByteArray("M011010");
    QTest::newRow("ingenico M001") << ingenico << QByteArray("M00100");
    QTest::newRow("ingenico status reply") << ingenico << QByteArray("M000000");
    QTest::newRow("ingenico lower case") << ingenico << QByteArray("p05100");
    QTest::newRow("ingenico newnote code") << ingenico << QByteArray("C00000");
    QTest::newRow("newnote M00E001") << newnote << QByteArray("M00E001");
    QTest::newRow("newnote M01101") << newnote << QByteArray("M01101");
    QTest::newRow("newnote ingenico code") << newnote << QByteArray("P05100");
    QTest::newRow("newnote M000") << newnote << QByteArray("M00000");
}

void TestTpaWorker::nonTerminatingReply()
{
    QFETCH(int, family);
    QFETCH(QByteArray, reply);
    auto line = lineInCommand(Family(family));
    QVERIFY(line);
    line->simulator.sendMessage(reply);
    line->simulator.sendMessage(marker);
    QTRY_VERIFY(line->harness.transactionStatuses.contains(QString::fromLatin1(marker)));
    QCOMPARE(line->harness.transitions, QList<bool> { true });
    line->harness.onWorkerThread([](TpaWorker *worker) { QVERIFY(worker->isInTransaction()); });
}

void TestTpaWorker::secondCommandRefused()
{
    QFETCH(int, family);
    auto line = lineInCommand(Family(family));
    QVERIFY(line);
    emit line->harness.sendMessage("P00100133304978200");
    QTRY_COMPARE(line->harness.transactionStatuses, (QStringList { added, refused }));
    line->simulator.sendMessage(marker);
    QTRY_COMPARE(line->harness.transactionStatuses.size(), 3);
    QCOMPARE(line->simulator.messages(), QList<QByteArray> { commandFor(Family(family)) });
    QCOMPARE(line->harness.transitions, QList<bool> { true });
}

void TestTpaWorker::transactionTimeout()
{
    QFETCH(int, family);
    TpaWorker::Intervals intervals = TpaWorkerHarness::fastIntervals();
    intervals.transactionTimeoutMs = 300;
    auto line = lineInCommand(Family(family), intervals);
    QVERIFY(line);
    QTRY_COMPARE(line->harness.ends(), 1);
    QCOMPARE(line->harness.events.mid(0, 4),
        (QStringList { "transaction:" + added, "in:true", "transaction:" + timeout, "in:false" }));
    QTRY_COMPARE(line->simulator.count(line->simulator.pollMessage()), 1);
}

void TestTpaWorker::receivedMessagesExtendTransaction()
{
    QFETCH(int, family);
    TpaWorker::Intervals intervals = TpaWorkerHarness::fastIntervals();
    intervals.transactionTimeoutMs = 1000;
    auto line = lineInCommand(Family(family), intervals);
    QVERIFY(line);
    // Each message restarts the time-out, so four of them 300 ms apart keep the command alive
    // well past one time-out.
    for (int i = 0; i < 4; ++i) {
        line->simulator.sendMessage(marker);
        QTRY_COMPARE(line->harness.transactionStatuses.count(QString::fromLatin1(marker)), i + 1);
        QTest::qWait(300);
    }
    QVERIFY(!line->harness.transactionStatuses.contains(timeout));
    QTRY_COMPARE(line->harness.transactionStatuses.last(), timeout);
    QCOMPARE(line->harness.transitions, (QList<bool> { true, false }));
}

void TestTpaWorker::serialTimeoutResends()
{
    QFETCH(int, family);
    auto line = lineInCommand(Family(family));
    QVERIFY(line);
    const QByteArray command = commandFor(Family(family));
    for (int resends = 1; resends <= 3; ++resends) {
        line->harness.onWorkerThread(
            [](TpaWorker *worker) { worker->errorOcurred(QSerialPort::TimeoutError); });
        QTRY_COMPARE(line->simulator.count(command), 1 + resends);
        QCOMPARE(line->harness.transitions, QList<bool> { true });
    }
    line->harness.onWorkerThread([](TpaWorker *worker) { worker->errorOcurred(QSerialPort::TimeoutError); });
    // The result comes before the end, while the command's caller is still known.
    QTRY_COMPARE(line->harness.ends(), 1);
    QCOMPARE(line->harness.events.mid(0, 4),
        (QStringList { "transaction:" + added, "in:true", "transaction:" + timeout, "in:false" }));
    QCOMPARE(line->simulator.count(command), 4);
    // Other serial errors are only logged.
    line->harness.onWorkerThread([](TpaWorker *worker) { worker->errorOcurred(QSerialPort::ParityError); });
    QTRY_COMPARE(line->simulator.count(line->simulator.pollMessage()), 1);
    QCOMPARE(line->harness.transactionStatuses.size(), 2);
    QCOMPARE(line->harness.transitions.size(), 2);
}

void TestTpaWorker::unsolicitedMessageWhileIdle()
{
    QFETCH(int, family);
    TpaWorker::Intervals intervals = TpaWorkerHarness::fastIntervals();
    intervals.pollReplyTimeoutMs = 100;
    TerminalLine line { Family(family), intervals };
    QVERIFY(line.open());
    line.simulator.sendMessage(marker);
    QTRY_COMPARE(line.harness.transactionStatuses, QStringList { QString::fromLatin1(marker) });
    // Well past the poll reply time-out: the terminal spoke, so no time-out is reported.
    QTest::qWait(300);
    QVERIFY(line.harness.statuses.isEmpty());
    QVERIFY(line.harness.transitions.isEmpty());
}

void TestTpaWorker::pollReplyTimeout()
{
    QFETCH(int, family);
    std::unique_ptr<TpaWorker> worker;
    if (family == TerminalSimulator::Ingenico)
        worker = std::make_unique<TpaWorkerIngenico>(QString());
    else
        worker = std::make_unique<TpaWorkerNewnote>(QString());
    TpaWorker::Intervals intervals = TpaWorkerHarness::fastIntervals();
    intervals.pollReplyTimeoutMs = 100;
    worker->setIntervals(intervals);
    QSignalSpy statuses(worker.get(), &TpaWorker::setLastStatus);
    StuckDevice device;
    QElapsedTimer elapsed;
    elapsed.start();
    worker->startOnDevice(&device);
    QCOMPARE(device.written,
        TerminalSimulator(Family(family)).frame(TerminalSimulator(Family(family)).pollMessage()));
    // The poll's own reply time-out, not an immediate one.
    QVERIFY(statuses.wait(2000));
    QVERIFY2(elapsed.elapsed() >= 90, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(statuses.size(), 1);
    QCOMPARE(statuses.at(0).at(0).toString(), timeout);
    QVERIFY(!worker->isStatusPending());
}

void TestTpaWorker::simulatedCommand()
{
    QFETCH(int, family);
    TerminalLine line { Family(family) };
    line.simulator.setAnswerCommands(true, 50);
    QVERIFY(line.open());
    // The purchases of 12.50 as the terminal record builds them.
    const QByteArray purchase = family == TerminalSimulator::Ingenico
        ? QByteArrayLiteral("P05100133304978200001250")
        : QByteArray("C000") + "10" + "0000" + "00001250" + "000" + "0" + "1" + "0" + "0" + "0"
            + QByteArray::fromHex("0b9f1c009a009f21009f0200");
    emit line.harness.sendMessage(purchase);
    QTRY_COMPARE(line.harness.ends(), 1);
    QCOMPARE(line.simulator.count(purchase), 1);
    QCOMPARE(line.harness.transactionStatuses.size(), 2);
    QCOMPARE(line.harness.transactionStatuses.at(0), added);
    QVERIFY(line.harness.transactionStatuses.at(1).startsWith(
        QString::fromLatin1(purchase.left(4)) + QStringLiteral("0000001250")));
}

void TestTpaWorker::closedPort()
{
    QFETCH(int, family);
    TpaWorkerHarness harness(Family(family), QStringLiteral("/nonexistent/ttyVarnel"));
    QVERIFY(harness.connected());
    harness.start();
    for (int i = 1; i <= 2; ++i) {
        emit harness.sendMessage(commandFor(Family(family)));
        QTRY_COMPARE(harness.ends(), i);
    }
    const QStringList once { "in:true", "transaction:" + timeout, "in:false" };
    QCOMPARE(harness.events, once + once);
}

void TestTpaWorker::portLost_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("state");
    for (const char *state : { "idle", "command" }) {
        QTest::addRow("ingenico %s", state) << int(TerminalSimulator::Ingenico) << QString::fromLatin1(state);
        QTest::addRow("newnote %s", state) << int(TerminalSimulator::Newnote) << QString::fromLatin1(state);
    }
    QTest::newRow("ingenico command held by poll")
        << int(TerminalSimulator::Ingenico) << QStringLiteral("held");
}

void TestTpaWorker::portLost()
{
    QFETCH(int, family);
    QFETCH(QString, state);
    TerminalLine line { Family(family) };
    line.simulator.setAnswerPolls(state != QLatin1String("held"));
    QVERIFY(line.open());
    QStringList expected;
    if (state != QLatin1String("idle")) {
        emit line.harness.sendMessage(commandFor(Family(family)));
        QTRY_COMPARE(line.harness.transactionStatuses, QStringList { added });
        expected += "transaction:" + added;
        if (state == QLatin1String("command")) {
            QTRY_COMPARE(line.simulator.count(commandFor(Family(family))), 1);
            expected += "in:true";
        } else {
            line.harness.onWorkerThread([](TpaWorker *worker) { QVERIFY(!worker->pending().isEmpty()); });
            expected += "in:true";
        }
        expected += { "transaction:" + timeout, "in:false" };
    }
    expected += "status:" + timeout;

    line.pty.stop();
    QTRY_COMPARE(line.harness.events, expected);

    // The dead descriptor must not keep the worker spinning.
    const qint64 cpuBefore = cpuMs();
    QTest::qWait(500);
    const qint64 cpuUsed = cpuMs() - cpuBefore;
    QVERIFY2(cpuUsed < 150, qPrintable(QStringLiteral("%1 ms of CPU in 500 ms").arg(cpuUsed)));

    // Later commands still get an answer at once.
    line.harness.clear();
    emit line.harness.sendMessage(commandFor(Family(family)));
    QTRY_COMPARE(line.harness.events, (QStringList { "in:true", "transaction:" + timeout, "in:false" }));
}

QTEST_GUILESS_MAIN(TestTpaWorker)
#include "tst_tpaworker.moc"
