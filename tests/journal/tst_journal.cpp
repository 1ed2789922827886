#include "apiclient.h"
#include "cupsscheduler.h"
#include "journalstore.h"
#include "ptypair.h"
#include "terminalsimulator.h"
#include "varnelprocess.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

const QString added = QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
const QString unknown = QStringLiteral("VRL1001|M97|Outcome unknown: check the terminal");
const QByteArray purchase = "P05100133304978200000100";

} // namespace

// Retries and crashes through the real program, with a private scheduler and a simulated Ingenico
// terminal on a pseudo-terminal: a request id acts once, across restarts too, and a payment's
// outcome reaches its point of sale whatever happened to the program or the terminal's line.
class tst_Journal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void retries_data();
    void retries();

private:
    void start();
    int jobsCreated() const;
    QStringList texts();
    QString state();

    CupsScheduler m_cups;
    QTemporaryDir m_preview;
    PtyPair m_line;
    TerminalSimulator m_terminal { TerminalSimulator::Ingenico };
    std::unique_ptr<VarnelProcess> m_varnel;
    ApiClient m_api;
};

void tst_Journal::initTestCase()
{
    QVERIFY(m_cups.start() && m_cups.addQueue(QStringLiteral("Receipt")));
    QVERIFY(m_line.start() && m_terminal.open(m_line.terminalEnd()));
}

void tst_Journal::start()
{
    QVERIFY(m_varnel->start());
    m_api.key = m_varnel->stored(QStringLiteral("securityKey")).toString();
    QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("ready"), 20000);
}

int tst_Journal::jobsCreated() const
{
    QFile log(m_cups.accessLog());
    return log.open(QIODevice::ReadOnly) ? log.readAll().count("Create-Job") : -1;
}

QStringList tst_Journal::texts()
{
    return m_api
        .call("/getTpaTransactionStatus", { { "tpa_port", m_line.programEnd() }, { "terminal_tpa_id", "A" } })
        .value("data")
        .toVariant()
        .toStringList();
}

QString tst_Journal::state()
{
    for (const QJsonValue &tpa : m_api.call("/getTpas").value("data").toArray())
        if (tpa["portName"] == m_line.programEnd())
            return tpa["state"].toString();
    return QString();
}

// Steps, separated by ";": "print ID" and "buy ID" send a receipt or a purchase of 1.00 for point of
// sale A with that request id (none for "-") and expect it done; "print ID=" and "buy ID=" expect
// the reply of the first request with that id, byte for byte; "print ID*" and "buy ID*" send another
// receipt or amount and expect a refusal; "print ID!" expects "Journal unavailable". "restart" stops
// and starts the program, "kill" kills it (SIGKILL) and starts it; "hold" the terminal stops
// answering commands, "answer" it answers the purchase; "ended" waits until the purchase has ended;
// "unplug" and "plug" take the terminal's line away and give it back; "texts:T|T" A reads these
// texts (approved: the terminal's answer); "jobs=N" and "purchases=N" count what reached the
// scheduler and the terminal; "journal=N" the day's entries; "broken" the journal cannot be made;
// "status=S" the last receipt's /getJobStatus; "purge" the scheduler forgets its jobs; "preview"
// sends a receipt to the virtual printer, whose job id must be new.
void tst_Journal::retries_data()
{
    QTest::addColumn<QString>("steps");
    QTest::newRow("receipt repeated") << "print r1;print r1=;print r1*;jobs=1;journal=1";
    QTest::newRow("receipt repeated after a restart") << "print r2;restart;print r2=;jobs=1";
    QTest::newRow("purchase repeated") << "buy p1;buy p1=;buy p1*;purchases=1;ended;texts:added|approved";
    QTest::newRow("purchase repeated after a restart")
        << "hold;buy p2;restart;buy p2=;purchases=1;texts:added|unknown";
    QTest::newRow("approval read after a crash") << "buy p3;ended;kill;texts:added|approved;texts:";
    QTest::newRow("purchase cut by a crash, answered late")
        << "hold;buy p4;kill;texts:added|unknown;answer;texts:approved;buy p4=;purchases=1";
    QTest::newRow("line gone during a purchase") << "hold;buy -;unplug;plug;texts:added|unknown;journal=1";
    QTest::newRow("job status after the scheduler forgot the job")
        << "print r6;status=completed;purge;restart;status=completed;preview;restart;preview";
    QTest::newRow("journal that cannot be made")
        << "broken;print r5!;buy p5!;print -;jobs=1;buy -;purchases=1";
}

void tst_Journal::retries()
{
    QFETCH(QString, steps);
    m_varnel = std::make_unique<VarnelProcess>();
    m_varnel->store(VarnelProcess::printerKey(QStringLiteral("Receipt")), true);
    m_varnel->store(VarnelProcess::printerKey(QStringLiteral("Varnel Preview")), true);
    m_varnel->environment.insert(QStringLiteral("VARNEL_VIRTUAL_PRINTER"), m_preview.path());
    m_varnel->environment.insert(QStringLiteral("CUPS_SERVER"), m_cups.server());
    m_varnel->environment.insert(
        QStringLiteral("VARNEL_EXTRA_SERIAL_PORTS"), m_line.programEnd() + "@079b:0028");
    m_varnel->environment.insert(QStringLiteral("VARNEL_SERIAL_REFRESH_MS"), QStringLiteral("300"));
    if (steps.startsWith(QLatin1String("broken")))
        QVERIFY(QDir().mkpath(m_varnel->dataDir() + QStringLiteral("/varnel/journal.sqlite")));
    m_terminal.setAnswerCommands(true);
    m_terminal.clearReceived();
    const int jobs = jobsCreated();
    start();

    QHash<QString, QJsonObject> first;
    int lastJob = 0;
    int lastPreview = 0;
    for (const QString &step : steps.split(QLatin1Char(';'))) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0);
        const QString argument = step.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("print") || verb == QLatin1String("buy")) {
            const QString id = argument.left(2);
            const QChar expect = argument.size() > 2 ? argument.at(2) : QChar();
            QJsonObject body;
            if (verb == QLatin1String("print"))
                body = { { "printer", "Receipt" },
                    { "job",
                        QJsonArray {
                            QJsonObject { { "op", "text" }, { "data", expect == '*' ? "B\n" : "A\n" } } } } };
            else
                body = { { "tpa_port", m_line.programEnd() }, { "terminal_tpa_id", "A" },
                    { "amount", expect == '*' ? "2.00" : "1.00" } };
            if (id != QLatin1String("-"))
                body.insert("requestId", id);
            const QJsonObject reply
                = m_api.call(verb == QLatin1String("print") ? "/sendJob" : "/sendTpaPurchase", body);
            if (expect == '=') {
                QCOMPARE(reply, first.value(id));
            } else if (expect == '*') {
                QCOMPARE(reply,
                    QJsonObject({ { "status", false },
                        { "error", "requestId already used for a different request" } }));
            } else if (expect == '!') {
                QCOMPARE(reply, QJsonObject({ { "status", false }, { "error", "Journal unavailable" } }));
            } else {
                QVERIFY2(reply.value("status").toBool() && !reply.value("data").toString().contains("busy"),
                    QJsonDocument(reply).toJson());
                first.insert(id, reply);
                lastJob = reply.value("jobId").toInt(lastJob);
            }
        } else if (verb == QLatin1String("restart") || verb == QLatin1String("kill")) {
            // A purchase under way has reached the terminal, which took it (read without consuming).
            if (state() == QLatin1String("busy"))
                QTRY_COMPARE(texts(), QStringList { added });
            if (verb == QLatin1String("kill")) {
                ::kill(pid_t(m_varnel->pid()), SIGKILL);
                QTRY_VERIFY(!m_varnel->isRunning());
            }
            m_varnel->stop();
            start();
        } else if (verb == QLatin1String("hold")) {
            m_terminal.setAnswerCommands(false);
        } else if (verb == QLatin1String("answer")) {
            m_terminal.sendMessage(m_terminal.replyTo(purchase));
        } else if (verb == QLatin1String("ended")) {
            QTRY_COMPARE(state(), QStringLiteral("ready"));
        } else if (verb == QLatin1String("unplug")) {
            QTRY_COMPARE(m_terminal.count(purchase), 1);
            m_terminal.close();
            m_line.stop();
            QTRY_COMPARE(state(), QStringLiteral("offline"));
        } else if (verb == QLatin1String("plug")) {
            QVERIFY(m_line.start() && m_terminal.open(m_line.terminalEnd()));
            QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("ready"), 10000);
        } else if (verb == QLatin1String("texts")) {
            QStringList expected
                = step.section(QLatin1Char(':'), 1).split(QLatin1Char('|'), Qt::SkipEmptyParts);
            expected.replaceInStrings(QStringLiteral("added"), added);
            expected.replaceInStrings(QStringLiteral("unknown"), unknown);
            QStringList read;
            QVERIFY2(QTest::qWaitFor([&] { return (read = texts()).size() >= expected.size(); }, 10000),
                qPrintable(read.join(QLatin1Char('|'))));
            const QString approved = QString::fromLatin1(m_terminal.replyTo(purchase));
            for (int i = 0; i < expected.size() && i < read.size(); ++i) {
                // Kept by the journal, its card-number-like digits are masked.
                if (expected.at(i) == QLatin1String("approved")
                    && (read.at(i).startsWith(approved.left(14))
                        || read.at(i) == JournalStore::masked(approved.left(read.at(i).size()))))
                    expected[i] = read.at(i);
            }
            QCOMPARE(read, expected);
        } else if (step.startsWith(QLatin1String("jobs="))) {
            QCOMPARE(jobsCreated() - jobs, step.mid(5).toInt());
        } else if (step.startsWith(QLatin1String("purchases="))) {
            QTRY_COMPARE(m_terminal.count(purchase), step.mid(10).toInt());
        } else if (step.startsWith(QLatin1String("journal="))) {
            const QString day = QDate::currentDate().toString(Qt::ISODate);
            const QJsonObject listed = m_api.call("/getJournal",
                { { "from", day + "T00:00:00" }, { "to", day + "T23:59:59" },
                    { "kind", steps.contains("print ") ? "print" : "payment" } });
            QCOMPARE(listed.value("data").toArray().size(), step.mid(8).toInt());
        } else if (step.startsWith(QLatin1String("status="))) {
            QTRY_COMPARE(m_api.call("/getJobStatus", { { "printer", "Receipt" }, { "jobId", lastJob } })
                             .value("data")
                             .toString(),
                step.mid(7));
        } else if (step == QLatin1String("purge")) {
            QVERIFY(m_cups.command(QStringLiteral("cancel"), { "-a", "-x", "Receipt" }));
        } else if (step == QLatin1String("preview")) {
            const int jobId
                = m_api
                      .call("/sendJob",
                          { { "printer", "Varnel Preview" },
                              { "job", QJsonArray { QJsonObject { { "op", "text" }, { "data", "A\n" } } } } })
                      .value("jobId")
                      .toInt();
            QVERIFY2(jobId > lastPreview, qPrintable(QString::number(jobId)));
            lastPreview = jobId;
        } else if (step != QLatin1String("broken")) {
            QFAIL(qPrintable("unknown step " + step));
        }
    }
    QVERIFY(m_varnel->isRunning());
    m_varnel.reset();
    m_terminal.setAnswerCommands(true);
}

QTEST_GUILESS_MAIN(tst_Journal)
#include "tst_journal.moc"
