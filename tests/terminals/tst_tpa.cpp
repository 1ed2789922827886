// Payment terminals over a pty pair with a simulated terminal: the record as the API uses it (the
// messages it builds, the texts it keeps for each point of sale, its state, a line that goes and
// comes back), and the serial workers of both families driven by scripts of what the program and
// the terminal do, in order.
#include "oneterminalbackend.h"
#include "printclientrequesthandler.h"
#include "ptypair.h"
#include "terminalsimulator.h"
#include "testsupport.h"
#include "tpa.h"
#include "tpaworkeringenico.h"
#include "tpaworkernewnote.h"

#include <QDir>
#include <QJsonArray>
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
const QString outcomeUnknown = QStringLiteral("text:VRL1001|M97|Outcome unknown: check the terminal");
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
        if (options == QLatin1String("polls")) {
            intervals.pollMs = 1000;
            intervals.pollReplyTimeoutMs = 100;
        }
        simulator.setAnswerPolls(!options.contains(QLatin1String("silent")));
        if (family == TerminalSimulator::Ingenico)
            worker = new TpaWorkerIngenico(pty.programEnd());
        else
            worker = new TpaWorkerNewnote(pty.programEnd());
        worker->setIntervals(intervals);
        worker->moveToThread(&thread);
        connect(&thread, &QThread::started, worker, &TpaWorker::startWorker);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(worker, &TpaWorker::statusReported, this,
            [this](const QString &text) { events << "status:" + text; });
        connect(worker, &TpaWorker::transactionStatusReported, this,
            [this](const QString &text) { events << "text:" + text; });
        connect(worker, &TpaWorker::inTransactionChanged, this,
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

// A terminal record as the program holds it, on a pty pair with a simulated terminal (family 0: no
// line, no worker), seen through the API's handler. Its protocol intervals are short.
struct Terminal : OneTerminalBackend
{
    explicit Terminal(int family)
        : simulator(family == Tpa::Newnote ? TerminalSimulator::Newnote : TerminalSimulator::Ingenico)
    {
        TpaWorker::Intervals intervals;
        intervals.firstPollMs = intervals.pollMs = 200;
        intervals.pollAfterCommandMs = intervals.reopenMs = 20;
        intervals.pollReplyTimeoutMs = 100;
        const QString path = pty.programEnd();
        if (family && plugIn())
            tpa.reset(new Tpa(SerialPortDescription(path, path, QString(), QString(),
                                  family == Tpa::Newnote ? 0x0403 : 0x079B, 1),
                Tpa::Family(family), nullptr, intervals));
        else if (!family)
            tpa.reset(new Tpa);
    }

    bool plugIn()
    {
        simulator.close();
        return pty.start() && simulator.open(pty.terminalEnd());
    }
    QString state()
    {
        const QJsonObject result = call("/getTpas", QString());
        return result.value("data").toArray().at(0).toObject().value("state").toString();
    }
    // The reply's data, or its error.
    QJsonValue buy(const QString &terminalId)
    {
        const QJsonObject result = call("/sendTpaPurchase", terminalId, QStringLiteral("12.50"));
        return result.value(result.value("status").toBool() ? "data" : "error");
    }
    QStringList texts(const QString &terminalId)
    {
        const QJsonObject result = call("/getTpaTransactionStatus", terminalId);
        return result.value(result.value("status").toBool() ? "data" : "error").toVariant().toStringList();
    }

    PtyPair pty;
    TerminalSimulator simulator;
};

int entries(const char *path)
{
    return QDir(QLatin1String(path)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
}

} // namespace

class tst_Tpa : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void record_data();
    void record();
    void script_data();
    void script();
    void state_data();
    void state();
    void terminalIds();

private:
    QTemporaryDir settings;
};

void tst_Tpa::initTestCase()
{
    TestSupport::useTemporarySettings(settings);
}

void tst_Tpa::record_data()
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

void tst_Tpa::record()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, message);
    const bool newnote = QByteArray(QTest::currentDataTag()).startsWith("newnote");
    const Tpa::Family family = newnote ? Tpa::Newnote : Tpa::Ingenico;
    PtyPair pty;
    QVERIFY(pty.start());
    TerminalSimulator terminal(newnote ? TerminalSimulator::Newnote : TerminalSimulator::Ingenico);
    QVERIFY(terminal.open(pty.terminalEnd()));
    const QString path = pty.programEnd();
    auto tpa = std::make_unique<Tpa>(SerialPortDescription(path, path, QStringLiteral("Virtual serial port"),
                                         QString(), newnote ? 0x0403 : 0x079B, 0x0001),
        family);

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

void tst_Tpa::script_data()
{
    // Separated by ";": ">M" the program sends M; "<M" the terminal sends M, "^M" with a wrong check
    // byte, "#B" raw bytes B (%XX escapes); "?M" wait until the terminal has received M once more;
    // "~E" wait until E was reported; "!" a serial time-out; "x" the line goes away. First, maybe:
    // "silent", the terminal leaves polls unanswered; "command=MS", the command time-out; "polls", a
    // poll every second with a reply time-out of 100 ms.
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
            a + ";in;" + outcomeUnknown + ";out;" + statusTimedOut + ";in;" + timedOut + ";out", c,
            QString());
    }
    row("ingenico command time-out", "command=300;>" + p + ";?" + p, a + ";in;" + timedOut + ";out", p,
        QString());
    row("ingenico answered poll not timed out", "polls;?M00005LB020000", "status:M000000", "M00005LB020000",
        "A");
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

void tst_Tpa::script()
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
                line.worker, [&line] { line.worker->errorOccurred(QSerialPort::TimeoutError); },
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

void tst_Tpa::state_data()
{
    // Separated by ";": "=S" the terminal's state becomes S; "buy" A's purchase, sent; "buy:E" refused
    // with E; "reply" the terminal answers the command it received last ("reply:none" only waits for
    // it); "mute", "talk" it stops or starts answering polls; "unplug", "plug" the line goes or comes
    // back; "texts:T" A reads T; "count" the threads and open files are as many as at the first count.
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("steps");
    const QString lost = "texts:" + added + "|" + outcomeUnknown.mid(5);
    QTest::newRow("ingenico busy during a purchase") << int(Tpa::Ingenico) << "=ready;buy;=busy;reply;=ready";
    QTest::newRow("newnote not answering while polls time out")
        << int(Tpa::Newnote) << "=ready;mute;=not answering;talk;=ready";
    QTest::newRow("ingenico offline while the line is gone")
        << int(Tpa::Ingenico) << "=ready;unplug;=offline;buy:VRL1001|M22|TPA offline or in error state";
    QTest::newRow("ingenico line back 100 times")
        << int(Tpa::Ingenico)
        << "=ready" + QString(";unplug;=offline;plug;=ready;count").repeated(100) + ";buy;reply;=ready";
    QTest::newRow("newnote line back 100 times during a purchase")
        << int(Tpa::Newnote)
        << "=ready" + (";buy;reply:none;unplug;=offline;plug;=ready;" + lost + ";count").repeated(100)
            + ";buy;reply;=ready";
}

void tst_Tpa::state()
{
    QFETCH(int, family);
    QFETCH(QString, steps);
    Terminal terminal(family);
    QVERIFY(terminal.tpa);
    TerminalSimulator &simulator = terminal.simulator;
    const auto threadsAndFiles = [] {
        return QList<int> { entries("/proc/self/task"), entries("/proc/self/fd") };
    };
    QList<int> counted;
    for (const QString &step : steps.split(QLatin1Char(';'))) {
        const QString argument = step.section(QLatin1Char(':'), 1, -1);
        if (step.startsWith(QLatin1Char('=')))
            QTRY_COMPARE(terminal.state(), step.mid(1));
        else if (step == QLatin1String("buy"))
            QCOMPARE(terminal.buy("A").toString(), QStringLiteral("VRL0000|M00|TPA purchase command sent"));
        else if (step.startsWith(QLatin1String("buy:")))
            QCOMPARE(terminal.buy("A").toString(), argument);
        else if (step.startsWith(QLatin1String("reply"))) {
            QTRY_VERIFY(
                !simulator.messages().isEmpty() && simulator.messages().last() != simulator.pollMessage());
            if (argument.isEmpty())
                simulator.sendMessage(simulator.replyTo(simulator.messages().last()));
            simulator.clearReceived();
        } else if (step == QLatin1String("mute") || step == QLatin1String("talk"))
            simulator.setAnswerPolls(step == QLatin1String("talk"));
        else if (step == QLatin1String("unplug"))
            terminal.pty.stop();
        else if (step == QLatin1String("plug"))
            QVERIFY(terminal.plugIn());
        else if (step.startsWith(QLatin1String("texts:")))
            QCOMPARE(terminal.texts("A").join('|'), argument);
        else if (step == QLatin1String("count") && counted.isEmpty())
            counted = threadsAndFiles();
        else if (step == QLatin1String("count"))
            QCOMPARE(threadsAndFiles(), counted);
    }
}

void tst_Tpa::terminalIds()
{
    // No worker: the test plays its reports.
    Terminal terminal(0);
    Tpa &tpa = *terminal.tpa;
    tpa.setTpaPurchase("B", "1.00");
    tpa.onInTransactionChanged(true);
    tpa.onTransactionStatus("P05100B");
    tpa.onInTransactionChanged(false);
    tpa.setTpaPurchase("A", "2.00");
    tpa.onInTransactionChanged(true);
    tpa.onTransactionStatus(added);
    for (int i = 0; i < 20000; ++i)
        tpa.lastStatus(QString::number(i));
    // The oldest ids went, but neither the current one nor one whose outcome is still unread.
    QCOMPARE(tpa.terminalTpaIndex("0"), -1);
    QVERIFY(tpa.terminalTpaIndex("19999") >= 0);
    QCOMPARE(tpa.lastStatus("C"), busy);
    tpa.onTransactionStatus("P05100A");
    tpa.onInTransactionChanged(false);
    QCOMPARE(tpa.lastTransactionStatus("A"), QStringList({ added, "P05100A" }));
    QCOMPARE(tpa.lastTransactionStatus("B"), QStringList { "P05100B" });

    // The API refuses a longer id before it looks for the terminal.
    for (int extra : { 0, 1 }) {
        const QJsonObject result
            = terminal.call("/getTpaTransactionStatus", QString(Tpa::maxTerminalIdLength + extra, 'x'));
        QCOMPARE(result.value("error").toString().startsWith(QLatin1String("VRL1001|M23")), extra == 1);
    }
}

QTEST_GUILESS_MAIN(tst_Tpa)
#include "tst_tpa.moc"
