// Printers against a private CUPS scheduler whose test backend reports states the way real
// backends do: what a queue's status and a job's state become for each behaviour, which jobs the
// user hears of, and a scheduler that stops answering.
#include "apirequest.h"
#include "cupsconnection.h"
#include "cupsscheduler.h"
#include "httprequest.h"
#include "httpresponse.h"
#include "httpserverconfig.h"
#include "jobwatch.h"
#include "printclient.h"
#include "printclientrequesthandler.h"
#include "printer.h"
#include "queuepoller.h"
#include "testsupport.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>

class tst_Printer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void backends_data();
    void backends();
    void hungScheduler();

private:
    CupsScheduler m_cups;
    QTemporaryDir m_settings;
};

namespace {

const QJsonArray job = QJsonDocument::fromJson(R"([{"op":"text","data":"a\n"}])").array();

PrinterStatus queue(const QString &name)
{
    PrinterStatus status;
    status.name = name;
    return status;
}

} // namespace

void tst_Printer::initTestCase()
{
    TestSupport::useTemporarySettings(m_settings);
    QVERIFY(m_cups.start({ QStringLiteral("teststate") }));
    QVERIFY(m_cups.addQueue(QStringLiteral("receipt")));
}

void tst_Printer::backends_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("errorPolicy");
    QTest::addColumn<QStringList>("jobStates");
    QTest::addColumn<QString>("queueState");
    QTest::addColumn<QStringList>("reasons");
    QTest::addColumn<int>("situation");
    QTest::addColumn<bool>("userHears");
    // Two jobs each: the second waits while the first prints, then meets the same backend.
    QTest::newRow("out of paper, printed anyway")
        << "teststate:/media-empty-error?delay=1"
        << "stop-printer" << QStringList { "pending", "printing", "completed" } << "idle"
        << QStringList { "media-empty-error" } << int(PrinterStatus::OutOfPaper) << false;
    QTest::newRow("cover open, queue stopped")
        << "teststate:/cover-open-error?delay=1&exit=4"
        << "stop-printer" << QStringList { "pending" } << "stopped"
        << QStringList { "cover-open-error", "paused" } << int(PrinterStatus::CoverOpen) << true;
    QTest::newRow("paper jam, job aborted")
        << "teststate:/media-jam-error?delay=1&exit=1"
        << "abort-job" << QStringList { "pending", "printing", "aborted" } << "idle"
        << QStringList { "media-jam-error" } << int(PrinterStatus::Error) << true;
    QTest::newRow("canceled by the backend")
        << "teststate:/?delay=1&exit=5"
        << "stop-printer" << QStringList { "pending", "printing", "canceled" } << "idle" << QStringList()
        << int(PrinterStatus::Ready) << false;
    QTest::newRow("warning only") << "teststate:/toner-low-warning?delay=1"
                                  << "stop-printer" << QStringList { "pending", "printing", "completed" }
                                  << "idle" << QStringList { "toner-low-warning" }
                                  << int(PrinterStatus::Ready) << false;
}

void tst_Printer::backends()
{
    QFETCH(QString, uri);
    QFETCH(QString, errorPolicy);
    QFETCH(QStringList, jobStates);
    QFETCH(QString, queueState);
    QFETCH(QStringList, reasons);
    QFETCH(int, situation);
    QFETCH(bool, userHears);
    const QString name
        = QStringLiteral("q%1").arg(QTest::currentDataTag()).replace(QRegularExpression("\\W"), "_");
    QVERIFY(m_cups.command(QStringLiteral("lpadmin"),
        { "-p", name, "-E", "-v", uri, "-m", "raw", "-o", "printer-error-policy=" + errorPolicy }));
    const Printer printer(queue(name));
    QString error;
    QVERIFY2(printer.print(job, false, &error) > 0, qPrintable(error));
    const int id = printer.print(job, false, &error);
    QVERIFY(id > 0);

    // The second job followed until it ends, or stays on a queue that stopped.
    QStringList seen;
    PrinterStatus status;
    JobStatus current;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            if (printer.readJob(id, &current, &error) != Printer::Reading::Read
                || printer.readStatus(&status, &error) != Printer::Reading::Read)
                return false;
            if (seen.value(seen.size() - 1) != current.stateName())
                seen << current.stateName();
            return current.finished() || !status.ready();
        }(),
        20000);
    QCOMPARE(seen, jobStates);

    // What the refresh reads, and what the user is told.
    JobWatch watch;
    watch.setStoppedGraceMs(0);
    watch.add(name, id);
    QueuePoller poller(&watch);
    QSignalSpy polled(&poller, &QueuePoller::polled);
    poller.poll();
    const auto result = polled.value(0).value(0).value<QueuePoller::Result>();
    QVERIFY(result.answered);
    for (const PrinterStatus &read : result.queues) {
        if (read.name == name)
            status = read;
    }
    QCOMPARE(status.stateName(), queueState);
    QCOMPARE(status.reasons, reasons);
    QCOMPARE(int(status.situation()), situation);
    QCOMPARE(status.queuedJobs, queueState == QLatin1String("stopped") ? 2 : 0);
    QCOMPARE(watch.update(result.jobs, 0).size(), userHears ? 1 : 0);
    QCOMPARE(watch.jobIds().isEmpty(), true);
}

// A scheduler that takes connections but never answers: the call that waits for it fails once its
// time is over, and other requests are served meanwhile.
void tst_Printer::hungScheduler()
{
    PrintClient client;
    client.onGetPrinters({ queue(QStringLiteral("receipt")) });
    client.printerList().first()->setAvailable(true);
    PrintClientRequestHandler handler;
    handler.setPrintClient(&client);
    const auto serve = [&](const QByteArray &request) {
        QBuffer in;
        in.setData(request);
        in.open(QIODevice::ReadOnly);
        HttpRequest parsed((HttpServerConfig()));
        while (parsed.getStatus() != HttpRequest::complete && in.bytesAvailable() > 0)
            parsed.readFromSocket(&in);
        QTcpSocket nowhere;
        HttpResponse response(&nowhere);
        handler.service(parsed, response);
    };
    // Connections the stopped scheduler has not taken yet wait in its socket's backlog.
    const auto waiting = [this] {
        return TestSupport::run("ss", { "-xlH", "src", m_cups.server() })
            .simplified()
            .split(' ')
            .value(2)
            .toInt();
    };

    CupsConnection::setTimeoutMs(2000);
    QCOMPARE(kill(pid_t(m_cups.pid()), SIGSTOP), 0);
    const QByteArray body = R"({"printer":"receipt","job":[{"op":"text","data":"a"}]})";
    QThread *sending = QThread::create([&] {
        serve("POST /sendJob HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    });
    sending->start();
    QTRY_COMPARE(waiting(), 1);
    serve("GET /getStatus HTTP/1.1\r\n\r\n");
    QVERIFY(sending->isRunning());

    ApiRequest request;
    request.route = "/getPrinterStatus";
    request.printer = QStringLiteral("receipt");
    request.key = client.securityKey();
    QCOMPARE(handler.reply(request).value("error"), QJsonValue("CUPS not answering"));
    // The window's refresh keeps the printer, as offline.
    JobWatch watch;
    QueuePoller poller(&watch);
    connect(&poller, &QueuePoller::polled, &client, &PrintClient::onQueuesPolled);
    poller.poll();
    QCOMPARE(client.printerList().value(0)->situation(), int(PrinterStatus::Offline));
    QVERIFY(sending->wait(10000));
    delete sending;
    QCOMPARE(kill(pid_t(m_cups.pid()), SIGCONT), 0);
    CupsConnection::setTimeoutMs(10000);
}

QTEST_MAIN(tst_Printer)
#include "tst_printer.moc"
