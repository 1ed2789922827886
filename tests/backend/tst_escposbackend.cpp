// Receipts through the whole path: /sendJob of the real program, a private scheduler with the
// escpos backend in its ServerBin, and the virtual ESC/POS printer over TCP or a pseudo-terminal,
// whose state each row changes before and during the job. What the program reports, when the job
// completes, and every byte that reaches the paper are checked against what the printer went
// through.
#include "apiclient.h"
#include "cupsscheduler.h"
#include "printjob.h"
#include "testsupport.h"
#include "varnelprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QtTest>

namespace {

// A virtual printer process, changed through its standard input.
class VirtualPrinter
{
public:
    ~VirtualPrinter()
    {
        if (m_process.state() != QProcess::NotRunning)
            TestSupport::stopPid(m_process.processId());
    }

    bool start(const QString &serial = QString())
    {
        QStringList arguments { "--port", "0", "--dir", m_dir.path() };
        if (!serial.isEmpty())
            arguments << "--serial" << serial << "--quiet-ms"
                      << "300";
        m_process.start(QStringLiteral(VARNEL_ESCPOS_PRINTER), arguments);
        const QByteArray first = line();
        port = first.startsWith("listening ") ? first.mid(10).toInt() : 0;
        return port > 0;
    }
    bool control(const QByteArray &command)
    {
        m_process.write(command + '\n');
        while (true) {
            const QByteArray answer = line();
            if (answer == "ok" || answer.isEmpty() || answer == "error")
                return answer == "ok";
        }
    }
    // The bytes of each finished job, in order.
    QList<QByteArray> jobs() const
    {
        QList<QByteArray> printed;
        const QDir dir(m_dir.path());
        for (const QString &name : dir.entryList({ "job-*.bin" }, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            printed << (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable"));
        }
        return printed;
    }

    int port = 0;

private:
    QByteArray line()
    {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) { }
        return m_process.readLine().trimmed();
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};

const QByteArray receipt = R"([{"op":"text","data":"Tesmar, Lda.\n"},{"op":"text","data":"1 x Café   0,80\n"},
    {"op":"text","data":"1 x Pastel   1,20\n"},{"op":"text","data":"2 x Água   1,00\n"},
    {"op":"text","data":"Total   3,00\n"},{"op":"text","data":"Obrigado\n"},{"op":"cut","data":"feed"}])";

QStringList reasonsOf(const QJsonObject &reply)
{
    QStringList reasons;
    for (const QJsonValue &value : reply.value("reasons").toArray())
        reasons << value.toString();
    return reasons;
}

} // namespace

class tst_EscPosBackend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void receipts_data();
    void receipts();
    void sharedOverIpp();

private:
    CupsScheduler m_cups;
    VarnelProcess m_varnel;
    ApiClient m_api { QStringLiteral("EscPosKey1v4.0") };
    QTemporaryDir m_lines;
    int m_queues = 0;
    // The scheduler's port on 127.0.0.1, for a second scheduler to print to it over IPP.
    quint16 m_ippPort = 0;
};

void tst_EscPosBackend::initTestCase()
{
    QVERIFY(m_lines.isValid());
    QTcpServer free;
    QVERIFY(free.listen(QHostAddress::LocalHost));
    m_ippPort = free.serverPort();
    free.close();
    qputenv("CUPSD_EXTRA_CONF", "Listen 127.0.0.1:" + QByteArray::number(m_ippPort));
    QVERIFY(m_cups.start({ QStringLiteral(VARNEL_ESCPOS_BACKEND) }));
    for (int i = 1; i <= 16; ++i)
        m_varnel.store(VarnelProcess::printerKey(QStringLiteral("escpos%1").arg(i)), true);
    m_varnel.store(QStringLiteral("securityKey"), m_api.key);
    m_varnel.environment.insert(QStringLiteral("CUPS_SERVER"), m_cups.server());
    QVERIFY(m_varnel.start());
}

void tst_EscPosBackend::cleanupTestCase()
{
    m_varnel.stop();
    m_cups.stop();
}

void tst_EscPosBackend::receipts_data()
{
    QTest::addColumn<bool>("serial");
    // The printer's state before the sale, the reasons then shown (within 3 s, the queue idle),
    // and the refusal of /sendJob, if any.
    QTest::addColumn<QByteArrayList>("before");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("refusal");
    // The job goes straight to the queue, as from another program, before the program knows.
    QTest::addColumn<bool>("direct");
    // The reasons while the job waits, and what brings the printer back.
    QTest::addColumn<QStringList>("waiting");
    QTest::addColumn<QByteArrayList>("recovery");
    // The reasons left once the job completed.
    QTest::addColumn<QStringList>("after");

    QTest::newRow("paper out before a sale")
        << false << QByteArrayList { "paper out" } << QStringList { "media-empty-error" }
        << "Printer not ready: out of paper" << false << QStringList() << QByteArrayList { "paper ok" }
        << QStringList();
    QTest::newRow("cover open before a sale")
        << true << QByteArrayList { "cover open" } << QStringList { "cover-open-error" }
        << "Printer not ready: cover open" << false << QStringList() << QByteArrayList { "cover closed" }
        << QStringList();
    QTest::newRow("printer off before a sale")
        << false << QByteArrayList { "power off" } << QStringList { "offline-report" }
        << "Printer not ready: offline" << false << QStringList() << QByteArrayList { "power on" }
        << QStringList();
    QTest::newRow("near end prints and is reported")
        << false << QByteArrayList { "paper low" } << QStringList { "media-low-report" } << QString() << false
        << QStringList() << QByteArrayList() << QStringList { "media-low-report" };
    QTest::newRow("paper out mid-receipt, finished once back")
        << false << QByteArrayList { "roll 3" } << QStringList() << QString() << false
        << QStringList { "media-empty-error" } << QByteArrayList { "paper ok" } << QStringList();
    QTest::newRow("paper out mid-receipt over a serial line")
        << true << QByteArrayList { "roll 2" } << QStringList() << QString() << false
        << QStringList { "media-empty-error" } << QByteArrayList { "paper ok" } << QStringList();
    QTest::newRow("printer off when a job arrives")
        << false << QByteArrayList { "power off" } << QStringList() << QString() << true
        << QStringList { "offline-report" } << QByteArrayList { "power on" } << QStringList();
    QTest::newRow("cover open when a job arrives")
        << false << QByteArrayList { "cover open" } << QStringList() << QString() << true
        << QStringList { "cover-open-error" } << QByteArrayList { "cover closed" } << QStringList();
    QTest::newRow("printer without status answers")
        << false << QByteArrayList { "status off" } << QStringList { "escpos-status-unknown-report" }
        << QString() << false << QStringList() << QByteArrayList()
        << QStringList { "escpos-status-unknown-report" };
}

void tst_EscPosBackend::receipts()
{
    QFETCH(bool, serial);
    QFETCH(QByteArrayList, before);
    QFETCH(QStringList, shown);
    QFETCH(QString, refusal);
    QFETCH(bool, direct);
    QFETCH(QStringList, waiting);
    QFETCH(QByteArrayList, recovery);
    QFETCH(QStringList, after);

    const QString queue = QStringLiteral("escpos%1").arg(++m_queues);
    VirtualPrinter printer;
    QProcess socat;
    QString uri;
    if (serial) {
        // Both ends open to the scheduler's user, which runs the backend.
        const QString dir = m_lines.filePath(queue);
        QVERIFY(QDir().mkpath(dir));
        QFile::setPermissions(m_lines.path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                | QFileDevice::ExeOther);
        QFile::setPermissions(dir, QFile::permissions(m_lines.path()));
        socat.start("socat",
            { "pty,raw,echo=0,perm=0666,link=" + dir + "/printer",
                "pty,raw,echo=0,perm=0666,link=" + dir + "/host" });
        QTRY_VERIFY(QFile::exists(dir + "/printer") && QFile::exists(dir + "/host"));
        QVERIFY(printer.start(dir + "/printer"));
        uri = "escpos:" + dir + "/host?baud=115200&poll=200&reply=500";
    } else {
        QVERIFY(printer.start());
        uri = QStringLiteral("escpos://127.0.0.1:%1/?poll=200&reply=500").arg(printer.port);
    }
    const auto stopSocat = qScopeGuard([&socat] {
        if (socat.state() != QProcess::NotRunning)
            TestSupport::stopPid(socat.processId());
    });
    QVERIFY(m_cups.command("lpadmin", { "-p", queue, "-E", "-v", uri, "-m", "raw" }));
    QTRY_COMPARE_WITH_TIMEOUT(
        m_api.call("/getPrinterStatus", { { "printer", queue } }).value("error").toString(), QString(),
        10000);
    const auto shows = [&](const QStringList &expected) {
        const QStringList reasons = reasonsOf(m_api.call("/getPrinterStatus", { { "printer", queue } }));
        for (const QString &reason : expected) {
            if (!reasons.contains(reason))
                return false;
        }
        return true;
    };
    for (const QByteArray &command : before)
        QVERIFY(printer.control(command));
    QTRY_VERIFY_WITH_TIMEOUT(shows(shown), 3000);

    const QJsonArray job = QJsonDocument::fromJson(receipt).array();
    PrintJob expected(job, false);
    QVERIFY(expected.translate());
    QElapsedTimer clock;
    clock.start();
    int jobId = 0;
    if (direct) {
        QTemporaryFile bytes;
        QVERIFY(bytes.open() && bytes.write(expected.bytes()) == expected.bytes().size() && bytes.flush());
        const QByteArray answer
            = TestSupport::run("lp", { "-h", m_cups.server(), "-d", queue, "-o", "raw", bytes.fileName() });
        jobId
            = answer.mid(answer.indexOf(queue.toUtf8() + '-') + queue.size() + 1).split(' ').value(0).toInt();
    } else {
        const QJsonObject sent = m_api.call("/sendJob", { { "printer", queue }, { "job", job } });
        if (!refusal.isEmpty()) {
            // Refused, and nothing kept to print once the printer is back.
            QCOMPARE(sent.value("error").toString(), refusal);
            const QJsonObject status = m_api.call("/getPrinterStatus", { { "printer", queue } });
            QCOMPARE(status.value("data"), QJsonValue(false));
            QCOMPARE(status.value("queuedJobs").toInt(), 0);
            for (const QByteArray &command : recovery)
                QVERIFY(printer.control(command));
            QTRY_VERIFY_WITH_TIMEOUT(
                reasonsOf(m_api.call("/getPrinterStatus", { { "printer", queue } })).isEmpty(), 3000);
            QCOMPARE(printer.jobs(), QList<QByteArray>());
            return;
        }
        QVERIFY2(sent.value("status").toBool(), qPrintable(sent.value("error").toString()));
        jobId = sent.value("jobId").toInt();
    }
    QVERIFY(jobId > 0);
    const auto jobState = [&] {
        return m_api.call("/getJobStatus", { { "printer", queue }, { "jobId", jobId } })
            .value("data")
            .toString();
    };

    if (!waiting.isEmpty()) {
        // Reported within 3 s, and the job not completed while the printer cannot print.
        QTRY_VERIFY_WITH_TIMEOUT(shows(waiting), 3000);
        QCOMPARE(jobState(), QStringLiteral("printing"));
        for (const QByteArray &command : recovery)
            QVERIFY(printer.control(command));
    }
    QTRY_COMPARE_WITH_TIMEOUT(jobState(), QStringLiteral("completed"), 10000);
    if (waiting.isEmpty()) {
        // Nothing waited for: the status and confirmation (or the reply time of a silent printer)
        // took at most a second beyond the scheduler's own work.
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }

    // Every byte of the receipt is on the paper, exactly once.
    QTRY_COMPARE(printer.jobs(), QList<QByteArray> { expected.bytes() });
    QStringList reasons = reasonsOf(m_api.call("/getPrinterStatus", { { "printer", queue } }));
    reasons.removeAll(QStringLiteral("none"));
    QCOMPARE(reasons, after);
}

// A second scheduler whose queue prints over IPP to a shared escpos queue shows the printer's
// reasons while its job waits there, and the program watching it shows them too.
void tst_EscPosBackend::sharedOverIpp()
{
    VirtualPrinter printer;
    QVERIFY(printer.start());
    const QString uri = QStringLiteral("escpos://127.0.0.1:%1/?poll=200&reply=500").arg(printer.port);
    QVERIFY(m_cups.command(
        "lpadmin", { "-p", "escpos16", "-E", "-v", uri, "-m", "raw", "-o", "printer-is-shared=true" }));
    CupsScheduler second;
    qunsetenv("CUPSD_EXTRA_CONF");
    QVERIFY(second.start());
    QVERIFY(second.command("lpadmin",
        { "-p", "shared", "-E", "-v", QStringLiteral("ipp://127.0.0.1:%1/printers/escpos16").arg(m_ippPort),
            "-m", "raw" }));
    m_varnel.stop();
    m_varnel.store(VarnelProcess::printerKey(QStringLiteral("shared")), true);
    m_varnel.environment.insert(QStringLiteral("CUPS_SERVER"), second.server());
    QVERIFY(m_varnel.start());
    QVERIFY(printer.control("paper out"));

    const QJsonArray job = QJsonDocument::fromJson(receipt).array();
    PrintJob expected(job, false);
    QVERIFY(expected.translate());
    const QJsonObject sent = m_api.call("/sendJob", { { "printer", "shared" }, { "job", job } });
    QVERIFY2(sent.value("status").toBool(), qPrintable(sent.value("error").toString()));
    QTRY_VERIFY_WITH_TIMEOUT(
        reasonsOf(m_api.call("/getPrinterStatus", { { "printer", "shared" } })).contains("media-empty-error"),
        10000);
    QCOMPARE(printer.jobs(), QList<QByteArray>());
    QVERIFY(printer.control("paper ok"));
    QTRY_COMPARE_WITH_TIMEOUT(printer.jobs(), QList<QByteArray> { expected.bytes() }, 10000);
}

QTEST_GUILESS_MAIN(tst_EscPosBackend)
#include "tst_escposbackend.moc"
