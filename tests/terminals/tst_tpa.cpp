// Payment terminals over a pty pair with a simulated terminal: the record as the API uses it (the
// messages it builds, the texts it keeps for each point of sale), and the serial workers of both
// families driven by scripts of what the program and the terminal do, in order.
#include "ptypair.h"
#include "terminalsimulator.h"
#include "testsupport.h"
#include "tpa.h"
#include "tpaworkeringenico.h"
#include "tpaworkernewnote.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

const QString added = QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
const QString busy = QStringLiteral("VRL1001|M10|TPA already busy");

const QString refused = QString::fromUtf8("text:VRL1001|M10|Já existe um comando a ser processado");
const QString timedOut = QStringLiteral("text:VRL1001|M99|Operation Timeout");
const QString statusTimedOut = QStringLiteral("status:VRL1001|M99|Operation Timeout");
const QString purchase = QStringLiteral("P05100133304978200001250");
const QString open = QStringLiteral("S000100000011");

// A worker on its own thread, wired by queued signals as the terminal record wires it, and a
// simulated terminal on the other end of the line. What the worker reports is kept in order.
struct Line : QObject
{
    Line(TerminalSimulator::Family family, const QString &options)
        : simulator(family)
    {
        TpaWorker::Intervals intervals;
        intervals.firstPollMs = intervals.pollMs = intervals.pollAfterCommandMs = 60000;
        intervals.pollReplyTimeoutMs = intervals.transactionTimeoutMs = 60000;
        if (options.startsWith(QLatin1String("command=")))
            intervals.transactionTimeoutMs = options.mid(8).toInt();
        simulator.setAnswerPolls(!options.contains(QLatin1String("silent")));
        if (family == TerminalSimulator::Ingenico)
            worker = new TpaWorkerIngenico(pty.programEnd());
        else
            worker = new TpaWorkerNewnote(pty.programEnd());
        worker->setIntervals(intervals);
        worker->moveToThread(&thread);
        connect(&thread, &QThread::started, worker, &TpaWorker::startWorker);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(worker, &TpaWorker::setLastStatus, this,
            [this](const QString &text) { events << "status:" + text; });
        connect(worker, &TpaWorker::setLastTransactionStatus, this,
            [this](const QString &text) { events << "text:" + text; });
        connect(worker, &TpaWorker::setInTransactionChanged, this,
            [this](bool in) { events << (in ? "in" : "out"); });
    }
    ~Line() override
    {
        if (!thread.isRunning())
            delete worker;
        thread.quit();
        thread.wait();
    }

    // Starts the line and the worker, and forgets its first poll and the status it brought.
    bool open()
    {
        if (!pty.start() || !simulator.open(pty.terminalEnd()))
            return false;
        thread.start();
        if (!QTest::qWaitFor([this] { return simulator.messages().size() == 1; }))
            return false;
        if (simulator.answersPolls() && !QTest::qWaitFor([this] {
                return events.size() == 1 && simulator.acknowledgements().size() == 1;
            }))
            return false;
        events.clear();
        simulator.clearReceived();
        return true;
    }

    PtyPair pty;
    TerminalSimulator simulator;
    QThread thread;
    TpaWorker *worker;
    QStringList events;
};

} // namespace

class TestTpa : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void record_data();
    void record();
    void script_data();
    void script();

private:
    QTemporaryDir settings;
};

void TestTpa::initTestCase()
{
    TestSupport::useTemporarySettings(settings);
}

void TestTpa::record_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("message");
    const QByteArray tags = QByteArray::fromHex("0b9f1c009a009f21009f0200");
    QTest::newRow("ingenico purchase") << "purchase 12.5" << QByteArray("P05100133304978200000125");
    QTest::newRow("ingenico refund") << "refund 1,234.56"
                                     << QByteArray("P06100133302978200123456T123420240131123456");
    QTest::newRow("ingenico open") << "open" << QByteArray("P001001333049782");
    QTest::newRow("ingenico close") << "close" << QByteArray("P042101333049782");
    QTest::newRow("ingenico menu") << "menu" << QByteArray("M00500");
    QTest::newRow("ingenico reprint") << "reprint" << QByteArray("M00505");
    QTest::newRow("newnote purchase") << "purchase 123456789"
                                      << "C00010000012345678900001000" + tags;
    QTest::newRow("newnote refund") << "refund 12.50"
                                    << QByteArray("C00210000000001250T123420240131123456110");
    QTest::newRow("newnote open") << "open" << QByteArray("S000100000011");
    QTest::newRow("newnote close") << "close" << QByteArray("S001100000011");
    // Only Ingenico terminals have a menu and a reprint.
    QTest::newRow("newnote menu") << "menu" << QByteArray();
    QTest::newRow("newnote reprint") << "reprint" << QByteArray();
}

void TestTpa::record()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, message);
    const bool newnote = QByteArray(QTest::currentDataTag()).startsWith("newnote");
    const int type = newnote ? Tpa::Newnote : Tpa::Ingenico;
    PtyPair pty;
    QVERIFY(pty.start());
    TerminalSimulator terminal(newnote ? TerminalSimulator::Newnote : TerminalSimulator::Ingenico);
    QVERIFY(terminal.open(pty.terminalEnd()));
    const QString path = pty.programEnd();
    auto tpa = std::make_unique<Tpa>(SerialPortDescription(path, path, QStringLiteral("Virtual serial port"),
                                         QString(), newnote ? 0x0403 : 0x079B, 0x0001),
        type);

    // The first poll's answer is every point of sale's status while no command runs.
    const QString status = newnote ? QStringLiteral("M00100") : QStringLiteral("M000000");
    QTRY_COMPARE(tpa->lastStatus(QStringLiteral("A")), status);
    terminal.clearReceived();
    const QString amount = command.section(QLatin1Char(' '), 1);
    if (command.startsWith(QLatin1String("purchase")))
        tpa->setTpaPurchase(QStringLiteral("A"), amount);
    else if (command.startsWith(QLatin1String("refund")))
        tpa->setTpaRefund(
            QStringLiteral("A"), QStringLiteral("T1234"), QStringLiteral("2024-01-31 12:34:56"), amount);
    else if (command == QLatin1String("open"))
        tpa->setTpaOpen(QStringLiteral("A"));
    else if (command == QLatin1String("close"))
        tpa->setTpaClose(QStringLiteral("A"));
    else if (command == QLatin1String("menu"))
        tpa->setTpaOpenMenu(QStringLiteral("A"));
    else
        tpa->setTpaReprintLastReceipt(QStringLiteral("A"));
    // Whatever was sent, the caller is the terminal's current point of sale until a command ends.
    QCOMPARE(tpa->lastStatus(QStringLiteral("B")), busy);
    QCOMPARE(tpa->lastStatus(QStringLiteral("A")), status);
    if (message.isEmpty())
        return;
    QTRY_COMPARE(terminal.messages(), QList<QByteArray> { message });
    // While the command runs its caller reads the texts without using them up; nobody clears them.
    QTRY_COMPARE(tpa->lastTransactionStatus(QStringLiteral("A")), QStringList { added });
    QCOMPARE(tpa->lastTransactionStatus(QStringLiteral("A")), QStringList { added });
    QCOMPARE(tpa->clearLastTransactionStatus(QStringLiteral("A")), QStringList());
    QCOMPARE(tpa->lastTransactionStatus(QStringLiteral("B")), QStringList());

    terminal.sendMessage(terminal.replyTo(message));
    QTRY_VERIFY(!tpa->isInTransaction());
    const QStringList texts = tpa->lastTransactionStatus(QStringLiteral("A"));
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.first(), added);
    QCOMPARE(tpa->lastTransactionStatus(QStringLiteral("A")), QStringList());
    QCOMPARE(tpa->lastStatus(QStringLiteral("B")), status);

    // A terminal that goes lets go of its port.
    tpa.reset();
    QSerialPort again(path);
    QVERIFY(again.open(QIODevice::ReadWrite));
}

void TestTpa::script_data()
{
    // Separated by ";": ">M" the program sends M; "<M" the terminal sends M, "^M" with a wrong check
    // byte, "#B" raw bytes B (%XX escapes); "?M" wait until the terminal has received M once more;
    // "~E" wait until E was reported; "!" a serial time-out; "x" the line goes away. First, maybe:
    // "silent", the terminal leaves polls unanswered; "command=MS", the command time-out.
    QTest::addColumn<QString>("steps");
    // What the worker reported: "status:T", "text:T", "in", "out".
    QTest::addColumn<QString>("events");
    // What the terminal received, and the ACK (A) and NAK (N) its frames got.
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("acks");
    const auto row = [](const QByteArray &name, const QString &steps, const QString &events,
                         const QString &received, const QString &acks) {
        QTest::newRow(name.constData()) << steps << events << received << acks;
    };
    const QString p = purchase;
    const QString o = open;
    const QString a = "text:" + added;
    row("ingenico command and its reply", ">" + p + ";?" + p + ";<P05100000012500000123",
        a + ";in;text:P05100000012500000123;out", p, "A");
    row("newnote command and its reply", ">" + o + ";?" + o + ";<S00000", a + ";in;text:S00000;out", o, "A");
    row("newnote status reply during a command does not end it",
        "silent;>" + o + ";?" + o + ";<M00100;<S00000", a + ";in;status:M00100;text:S00000;out", o, "AA");
    row("ingenico command held until the poll's reply",
        "silent;>" + p + ";>P001001333049782;~" + refused + ";<M000000;?" + p,
        a + ";" + refused + ";status:M000000;in", p, "A");
    for (const QString &c : { p, o }) {
        const QByteArray family = c == p ? "ingenico" : "newnote";
        row(family + " fourth serial time-out ends the command",
            ">" + c + ";?" + c + ";!;?" + c + ";!;?" + c + ";!;?" + c + ";!", a + ";in;" + timedOut + ";out",
            c + ";" + c + ";" + c + ";" + c, QString());
        row(family + " line gone during a command", ">" + c + ";?" + c + ";x;~" + statusTimedOut + ";>" + c,
            a + ";in;" + timedOut + ";out;" + statusTimedOut + ";in;" + timedOut + ";out", c, QString());
    }
    row("ingenico command time-out", "command=300;>" + p + ";?" + p, a + ";in;" + timedOut + ";out", p,
        QString());
    row("ingenico M025 answered", "<M025123;?M025000", "text:M025123", "M025000", "A");
    row("ingenico M01101 times the command out", ">" + p + ";?" + p + ";<M01101",
        a + ";in;text:M01101;" + timedOut + ";out", p, "A");
    row("ingenico M00E001 ends the command, M00E002 does not", ">" + p + ";?" + p + ";<M00E002;<M00E001",
        a + ";in;text:M00E002;text:M00E001;out", p, "AA");
    row("newnote reply cleaned of control and tag bytes",
        ">" + o + ";?" + o + ";<C00000%00%9F%1C%08TPA00001%9A%06240131",
        a + ";in;text:C00000TPA00001240131;out", o, "A");
    row("ingenico frames: junk, wrong check byte, start byte inside", "#ju%10nk;^P99912;<P99913;<A%02B",
        QString::fromLatin1("text:P99913;text:A\x02"
                            "B"),
        QString(), "NAA");
    row("newnote frames: junk, wrong check byte, start byte inside", "#ju%02nk;^P99912;<P99913;<A%02B",
        "text:P99913;text:AB", QString(), "NAA");
}

void TestTpa::script()
{
    QFETCH(QString, steps);
    QFETCH(QString, events);
    QFETCH(QString, received);
    QFETCH(QString, acks);
    const bool newnote = QByteArray(QTest::currentDataTag()).startsWith("newnote");
    QStringList script = steps.split(QLatin1Char(';'));
    const QString options = script.first().front().isLetter() ? script.takeFirst() : QString();
    Line line(newnote ? TerminalSimulator::Newnote : TerminalSimulator::Ingenico, options);
    QVERIFY(line.open());
    TerminalSimulator &terminal = line.simulator;
    for (int i = 0; i < script.size(); ++i) {
        const QString &step = script.at(i);
        const QByteArray message = QByteArray::fromPercentEncoding(step.mid(1).toLatin1());
        switch (step.at(0).toLatin1()) {
        case '>':
            QMetaObject::invokeMethod(line.worker, [&line, message] { line.worker->setNewCommand(message); });
            break;
        case '<':
            terminal.sendMessage(message);
            break;
        case '^': {
            QByteArray frame = terminal.frame(message);
            frame.back() = char(frame.back() ^ 1);
            terminal.sendRaw(frame);
            break;
        }
        case '#':
            terminal.sendRaw(message);
            break;
        case '?':
            QTRY_COMPARE(terminal.count(message), script.mid(0, i + 1).count(step));
            break;
        case '~':
            QTRY_VERIFY(line.events.contains(step.mid(1)));
            break;
        case '!':
            QMetaObject::invokeMethod(
                line.worker, [&line] { line.worker->errorOcurred(QSerialPort::TimeoutError); },
                Qt::BlockingQueuedConnection);
            break;
        case 'x':
            line.pty.stop();
            break;
        }
    }
    QTRY_COMPARE(line.events.join(QLatin1Char(';')), events);
    QTRY_COMPARE(QString::fromLatin1(terminal.messages().join(';')), received);
    QTRY_COMPARE(
        QString::fromLatin1(terminal.acknowledgements()).replace('\x06', 'A').replace('\x15', 'N'), acks);
}

QTEST_GUILESS_MAIN(TestTpa)
#include "tst_tpa.moc"
