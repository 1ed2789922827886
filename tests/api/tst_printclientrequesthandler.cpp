#include "apiclient.h"
#include "cupsscheduler.h"
#include "ptypair.h"
#include "terminalsimulator.h"
#include "testsupport.h"
#include "varnelprocess.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace {

const QString commandAdded = QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
const QString busy = QStringLiteral("VRL1001|M10|TPA already busy");
const QByteArray defaultOrigin = "https://www.tesmar.pt";

// A receipt with a character of the default code page, one that needs another page, a command
// the printer does not know, a drawer kick and a cut; and the bytes the printer gets for it.
const QByteArray receiptJob = R"([{"op":"alignment","data":1},{"op":"style","data":{"emphasized":true}},
    {"op":"text","data":"Café €5\n"},{"op":"bogus","data":1},{"op":"pulse","data":{"drawer":1,"pulse":100}},
    {"op":"cut","data":"feed"}])";
const QByteArray receiptBytes
    = QByteArray::fromHex("1b40 1b6101 1b2108 1b7400 436166 82 20 1b741080 1b7400 350a 1b700164fa 1d56420a");

} // namespace

// The API end to end: the real program on a port of its own with a private CUPS scheduler (a ready queue,
// one the user did not enable, a disabled one and one that refuses jobs) and terminals on
// pseudo-terminals: an Ingenico and a Newnote simulator, a path that never answers and a disabled
// one. The program runs in Portuguese, so that anything it writes in the system's language shows.
class tst_PrintClientRequestHandler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void requests_data();
    void requests();
    void receipt_data();
    void receipt();
    void symbolsPreviewedOrRefused();
    void notifications();
    void purchase_data();
    void purchase();
    void unpluggedTerminal();
    void browserHonoursTheOriginPolicy();
    void browserTrustsOnlyAfterTrust();

private:
    QByteArray printed(int size) const;

    CupsScheduler m_cups;
    QTemporaryDir m_dir;
    // Simulated Ingenico and Newnote terminals on pseudo-terminal pairs; the program gets the other ends.
    PtyPair m_ptys[2];
    std::unique_ptr<TerminalSimulator> m_terminals[2];
    QHash<QByteArray, QByteArray> m_values; // placeholders of the request table
    VarnelProcess m_varnel;
    ApiClient m_api;
};

void tst_PrintClientRequestHandler::initTestCase()
{
    {
        // Where its certificate cannot be made, the program runs on but serves nothing, not even
        // plain HTTP on the port browsers expect to speak TLS.
        VarnelProcess blocked;
        QVERIFY(QFile(blocked.dataDir()).remove() || QDir(blocked.dataDir()).removeRecursively());
        QVERIFY(QFile(blocked.dataDir()).open(QIODevice::WriteOnly));
        QVERIFY(blocked.start());
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), TestSupport::apiPort());
        QVERIFY(!probe.waitForConnected(2000));
    }
    QVERIFY(m_cups.start());
    for (const char *queue : { "Receipt", "Hidden", "Offline", "Rejecting" })
        QVERIFY(m_cups.addQueue(QLatin1String(queue)));
    QVERIFY(m_cups.command(QStringLiteral("cupsdisable"), { QStringLiteral("Offline") }));
    QVERIFY(m_cups.command(QStringLiteral("cupsreject"), { QStringLiteral("Rejecting") }));
    for (const char *queue : { "Receipt", "Offline", "Rejecting", "Varnel Preview" })
        m_varnel.store(VarnelProcess::printerKey(QLatin1String(queue)), true);

    QStringList ports;
    for (auto family : { TerminalSimulator::Ingenico, TerminalSimulator::Newnote }) {
        m_terminals[family] = std::make_unique<TerminalSimulator>(family);
        QVERIFY(m_ptys[family].start() && m_terminals[family]->open(m_ptys[family].terminalEnd()));
        ports << m_ptys[family].programEnd() + (family ? "@0403:6001" : "@079b:0028");
    }
    // Paths that exist but are no serial line: present terminals that never answer.
    const QString silent = m_dir.filePath(QStringLiteral("silent"));
    const QString disabled = m_dir.filePath(QStringLiteral("disabled"));
    QVERIFY(QFile(silent).open(QIODevice::WriteOnly) && QFile(disabled).open(QIODevice::WriteOnly));
    ports << silent + "@079b:0042" << disabled + "@0b00:0001";
    m_varnel.store(VarnelProcess::terminalKey(0x0b00, 0x0001), false);

    m_varnel.environment.insert(QStringLiteral("CUPS_SERVER"), m_cups.server());
    m_varnel.environment.insert(QStringLiteral("VARNEL_EXTRA_SERIAL_PORTS"), ports.join(QLatin1Char(',')));
    m_varnel.environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("pt_PT.UTF-8"));
    m_varnel.environment.insert(
        QStringLiteral("VARNEL_VIRTUAL_PRINTER"), m_dir.filePath(QStringLiteral("paper")));
    QVERIFY(m_varnel.start());

    // A first start makes a key of its own, and its autostart entry.
    m_api.key = m_varnel.stored(QStringLiteral("securityKey")).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9+/]{8}v4\\.0$")).match(m_api.key).hasMatch(),
        qPrintable(m_api.key));
    QVERIFY(QFileInfo::exists(m_varnel.configDir() + QStringLiteral("/autostart/varnel.desktop")));
    // And the listener's configuration in its settings group, for support.
    QCOMPARE(m_varnel.stored(QStringLiteral("listener/port")).toInt(), int(TestSupport::apiPort()));
    QCOMPARE(m_varnel.stored(QStringLiteral("listener/maxRequestSize")).toInt(), 4194304);

    m_values = { { "{key}", m_api.key.toUtf8() }, { "{qkey}", QUrl::toPercentEncoding(m_api.key) },
        { "|A|", "|Authorization: Bearer " + m_api.key.toUtf8() + '|' },
        { "|J|", "|Content-Type: application/json|" },
        { "|F|", "|Content-Type: application/x-www-form-urlencoded|" },
        { "{ingenico}", m_ptys[0].programEnd().toUtf8() }, { "{newnote}", m_ptys[1].programEnd().toUtf8() },
        { "{silent}", silent.toUtf8() }, { "{disabled}", disabled.toUtf8() },
        { "{job}", QJsonDocument::fromJson(receiptJob).toJson(QJsonDocument::Compact) } };
}

void tst_PrintClientRequestHandler::cleanupTestCase()
{
    // A fault caught by the sanitizers ends the program.
    QVERIFY(m_varnel.isRunning());
}

// A request is "METHOD TARGET|header|...|body"; the header A stands for the key in
// "Authorization", J and F for the JSON and form content types. Every reply carries the default
// origin (no row sends one) and "Vary: Origin".
void tst_PrintClientRequestHandler::requests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    const auto row = [](const char *name, const char *request, int status, const QByteArray &reply) {
        QTest::newRow(name) << QByteArray(request) << status << reply;
    };
    const QByteArray noTpa = R"({"status":false,"error":"VRL1001|M21|TPA not found"})";

    // Printers: only those the user enabled exist for the API.
    row("printers", "GET /getPrinters|A|", 200,
        R"({"status":true,"data":["Offline","Receipt","Rejecting","Varnel Preview"]})");
    const auto status
        = [](const QByteArray &members) { return "{" + members + R"(,"version":"410","device":"desktop"})"; };
    row("ready", "GET /getPrinterStatus?printer=Receipt|A|", 200,
        status(R"("status":true,"data":true,"state":"idle","accepting":true,"reasons":[],"queuedJobs":0)"));
    row("disabled", "GET /getPrinterStatus?printer=Offline|A|", 200,
        status(
            R"("status":true,"data":false,"state":"stopped","accepting":true,"reasons":["paused"],"queuedJobs":0)"));
    row("rejecting", "GET /getPrinterStatus?printer=Rejecting|A|", 200,
        status(R"("status":true,"data":true,"state":"idle","accepting":false,"reasons":[],"queuedJobs":0)"));
    row("not enabled", "GET /getPrinterStatus?printer=Hidden|A|", 200,
        status(R"("status":false,"error":"Printer not found")"));
    row("job, queue disabled", "POST /sendJob|A|J|{\"printer\":\"Offline\",\"job\":[]}", 200,
        R"({"status":false,"error":"Printer offline or in error state"})");
    row("job empty", "POST /sendJob|A|J|{\"printer\":\"Receipt\",\"job\":[]}", 200,
        R"({"status":false,"error":"Job is empty"})");
    row("job refused by CUPS", "POST /sendJob|A|J|{\"printer\":\"Rejecting\",\"job\":{job}}", 200,
        R"({"status":false,"error":"Error printing job"})");
    row("no such job", "POST /getJobStatus|A|F|printer=Receipt&jobId=999", 200,
        R"({"status":false,"error":"Job not found"})");

    // Terminals: only the enabled ones on the port given exist.
    row("terminals", "GET /getTpas|A|", 200, R"({"status":true,"data":[
        {"description":"Virtual serial port","manufacturer":"","portName":"{ingenico}","productIdentifier":40,
         "vendorIdentifier":1947,"vendorId":1,"state":"ready"},
        {"description":"Virtual serial port","manufacturer":"","portName":"{newnote}","productIdentifier":24577,
         "vendorIdentifier":1027,"vendorId":2,"state":"ready"},
        {"description":"Virtual serial port","manufacturer":"","portName":"{silent}","productIdentifier":66,
         "vendorIdentifier":1947,"vendorId":1,"state":"not answering"}]})");
    row("disabled terminal", "POST /sendTpaOpen|A|F|tpa_port={disabled}", 200, noTpa);
    row("status, never answered", "POST /getTpaStatus|A|F|tpa_port={silent}", 200,
        status(R"("status":false,"error":"VRL1001|M98|TPA status not found")"));
}

void tst_PrintClientRequestHandler::requests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        request.replace(it.key(), it.value());
        reply.replace(it.key(), it.value());
    }
    QList<QByteArray> parts = request.split('|');
    const QList<QByteArray> line = parts.takeFirst().split(' ');
    const QByteArray body = parts.takeLast();
    HeaderList headers;
    for (const QByteArray &header : parts)
        headers.append({ header.left(header.indexOf(':')), header.mid(header.indexOf(':') + 2) });
    const ApiReply answer = m_api.request(line.at(0), line.at(1), headers, body);

    QCOMPARE(answer.status, status);
    QCOMPARE(answer.reason, QByteArray(status == 401 ? "Unauthorized" : status == 404 ? "Not found" : "OK"));
    QCOMPARE(answer.header("Access-Control-Allow-Origin"), defaultOrigin);
    QCOMPARE(answer.header("Vary"), QByteArray("Origin"));
    if (reply.startsWith('<'))
        QVERIFY(answer.header("Content-Type") == "text/html; charset=UTF-8" && answer.body.contains(reply));
    else if (reply.isEmpty())
        QCOMPARE(answer.body, QByteArray());
    else
        QCOMPARE(answer.envelope(), QJsonDocument::fromJson(reply).object());
}

QByteArray tst_PrintClientRequestHandler::printed(int size) const
{
    // The scheduler writes the job a moment after it has been handed over.
    QFile output(m_cups.outputFile(QStringLiteral("Receipt")));
    QByteArray bytes;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            bytes = output.open(QIODevice::ReadOnly) ? output.readAll() : QByteArray();
            output.close();
            return bytes.size() >= size;
        },
        10000));
    return bytes;
}

void tst_PrintClientRequestHandler::receipt_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    const QByteArray job = m_values.value("{job}");
    QTest::newRow("JSON") << QByteArray("application/json")
                          << "{\"printer\":\"Receipt\",\"job\":" + job + "}";
    QTest::newRow("form") << QByteArray("application/x-www-form-urlencoded")
                          << "printer=Receipt&job=" + QUrl::toPercentEncoding(QString::fromUtf8(job));
}

void tst_PrintClientRequestHandler::receipt()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFile::remove(m_cups.outputFile(QStringLiteral("Receipt")));
    // One line for the job in the log kept on disk, without the key the request carried.
    QFile log(
        m_varnel.environment.value(QStringLiteral("XDG_STATE_HOME")) + QStringLiteral("/varnel/varnel.log"));
    QVERIFY(log.open(QIODevice::ReadOnly) && log.seek(log.size()));
    const ApiReply reply = m_api.request("POST", "/sendJob",
        { { "Content-Type", contentType }, { "Authorization", "Bearer " + m_api.key.toUtf8() } }, body);
    QJsonObject envelope = reply.envelope();
    const QJsonValue jobId = envelope.take("jobId");
    QCOMPARE(envelope, QJsonObject({ { "status", true }, { "data", "Job completed successfully" } }));
    QCOMPARE(printed(receiptBytes.size()).toHex(' '), receiptBytes.toHex(' '));
    const QByteArray added = log.readAll();
    QVERIFY(added.count('\n') == 1 && !added.contains(m_api.key.toUtf8()));
    // The job's state as CUPS has it; on another queue the number is no job of that printer's.
    QTRY_COMPARE(m_api.call("/getJobStatus", { { "printer", "Receipt" }, { "jobId", jobId } }).value("data"),
        QJsonValue("completed"));
    QCOMPARE(m_api.call("/getJobStatus", { { "printer", "Offline" }, { "jobId", jobId } }).value("error"),
        QJsonValue("Job not found"));
}

// A bad QR code never opens a CUPS job; the same job with a good one is drawn by /previewJob and,
// sent to the virtual printer, becomes a PNG whose QR code a scanner reads.
void tst_PrintClientRequestHandler::symbolsPreviewedOrRefused()
{
    const auto job = [](int size) {
        QJsonArray commands = QJsonDocument::fromJson(receiptJob).array();
        commands.insert(1,
            QJsonObject { { "op", "qrcode" },
                { "data", QJsonObject { { "text", "FT A/2024/5" }, { "size", size } } } });
        return commands;
    };
    const auto jobsOpened = [this] {
        QFile log(m_cups.accessLog());
        return log.open(QIODevice::ReadOnly) ? log.readAll().count("Create-Job") : -1;
    };
    const int opened = jobsOpened();
    const QJsonObject refused = m_api.call("/sendJob", { { "printer", "Receipt" }, { "job", job(17) } });
    QVERIFY(refused.value("error").toString().startsWith(QLatin1String("job[1] \"qrcode\"")));
    QCOMPARE(jobsOpened(), opened);
    QCOMPARE(m_api.call("/previewJob", { { "printer", "Nope" }, { "job", job(4) } }).value("error"),
        QJsonValue("Printer not found"));

    const QJsonObject preview = m_api.call("/previewJob", { { "job", job(4) } });
    const QImage paper
        = QImage::fromData(QByteArray::fromBase64(preview.value("data").toString().toLatin1()), "PNG");
    QVERIFY(!paper.isNull()
        && paper.size() == QSize(preview.value("width").toInt(), preview.value("height").toInt()));

    QCOMPARE(m_api.call("/sendJob", { { "printer", "Varnel Preview" }, { "job", job(4) } }).value("status"),
        QJsonValue(true));
    const QFileInfoList files = QDir(m_dir.filePath("paper")).entryInfoList({ "varnel-*.png" });
    QCOMPARE(files.size(), 1);
    QProcess zbar;
    zbar.start("zbarimg", { "--quiet", "--raw", files.first().filePath() });
    QVERIFY(zbar.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), QStringLiteral("FT A/2024/5"));
}

void tst_PrintClientRequestHandler::notifications()
{
    const QJsonObject first { { "request_id", 12 }, { "terminal_id", 3 }, { "status_id", 2 },
        { "title", "Mesa 4" }, { "subtitle", "Pedido pronto" }, { "lastModifiedBy", "Ana" },
        { "date", "2026-12-06T09:30:05" } };
    QCOMPARE(m_api.call("/setNotificationOrder", first),
        QJsonObject({ { "status", true }, { "data", "Notification received" } }));
    // Reading the list does not consume it.
    for (int read = 0; read < 2; ++read) {
        QCOMPARE(m_api.call("/getStatus", { { "with_notifications", 1 } }).value("notifications"),
            QJsonValue(QJsonArray { first }));
    }
}

void tst_PrintClientRequestHandler::purchase_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("Ingenico") << 0 << "1,234.50" << QByteArray("P05100133304978200123450");
    QTest::newRow("Newnote") << 1 << "12.5"
                             << QByteArray("C0001000000000012500001000")
            + QByteArray::fromHex("0b9f1c009a009f21009f0200");
}

// A purchase for point of sale A: the terminal gets the command, everyone meets a busy terminal
// until it answers, and A alone gets the texts, handed over once the purchase has ended.
void tst_PrintClientRequestHandler::purchase()
{
    QFETCH(int, family);
    QFETCH(QString, amount);
    QFETCH(QByteArray, command);
    TerminalSimulator &terminal = *m_terminals[family];
    const QString port = m_ptys[family].programEnd();
    const auto call = [&](const QByteArray &path, const char *pos) {
        return m_api.call(path, { { "tpa_port", port }, { "terminal_tpa_id", pos }, { "amount", amount } });
    };
    const auto texts = [&](const char *pos) {
        return call("/getTpaTransactionStatus", pos).value(QStringLiteral("data")).toVariant().toStringList();
    };
    // Once the terminal has answered its first status poll.
    QTRY_COMPARE_WITH_TIMEOUT(call("/getTpaStatus", "A").value("status"), QJsonValue(true), 20000);
    terminal.setAnswerCommands(false);

    QCOMPARE(call("/sendTpaPurchase", "A"),
        QJsonObject({ { "status", true }, { "data", "VRL0000|M00|TPA purchase command sent" } }));
    QTRY_VERIFY_WITH_TIMEOUT(terminal.messages().contains(command), 10000);
    const QJsonObject busyReply { { "status", true }, { "data", busy } };
    QCOMPARE(call("/sendTpaPurchase", "B"), busyReply);
    QCOMPARE(call("/clearTpaTransactionStatus", "A"), busyReply);
    QCOMPARE(call("/getTpaStatus", "B").value("data"), QJsonValue(busy));
    QCOMPARE(texts("A"), QStringList { commandAdded });
    QCOMPARE(texts("A"), QStringList { commandAdded });
    QCOMPARE(texts("B"), QStringList());

    const QByteArray answer = terminal.replyTo(command);
    terminal.sendMessage(answer);
    // The answer is filed a moment before the purchase ends; A reads it while it runs, without
    // taking it, and takes it with the first read after the end.
    QTRY_VERIFY_WITH_TIMEOUT(call("/getTpaStatus", "B").value("data") != QJsonValue(busy), 10000);
    const QStringList ended = texts("A");
    QCOMPARE(ended.size(), 2);
    QCOMPARE(ended.first(), commandAdded);
    QVERIFY2(ended.last().startsWith(QString::fromLatin1(answer.left(14))), qPrintable(ended.last()));
    QCOMPARE(texts("A"), QStringList());
}

void tst_PrintClientRequestHandler::unpluggedTerminal()
{
    // The path goes while the program still holds the terminal: listed, but offline everywhere.
    const QString port = m_ptys[1].programEnd();
    m_ptys[1].stop();
    const auto state = [&] {
        for (const QJsonValue &tpa : m_api.call("/getTpas").value("data").toArray())
            if (tpa["portName"] == port)
                return tpa["state"].toString();
        return QString();
    };
    // Said as soon as the terminal's worker has seen its port go.
    QTRY_COMPARE(state(), QStringLiteral("offline"));
    for (const char *route : { "/getTpaStatus", "/getTpaTransactionStatus", "/clearTpaTransactionStatus",
             "/sendTpaOpen", "/sendTpaClose", "/sendTpaPurchase", "/sendTpaRefund", "/sendTpaOpenMenu",
             "/sendTpaReprintLastReceipt" }) {
        QJsonObject reply = m_api.call(route, { { "tpa_port", port }, { "terminal_tpa_id", "A" } });
        QCOMPARE(reply.take("error"), QJsonValue("VRL1001|M22|TPA offline or in error state"));
        QCOMPARE(reply.take("status"), QJsonValue(false));
        QCOMPARE(reply.size(), qstrcmp(route, "/getTpaStatus") ? 0 : 2); // and version and device
    }
}

// A real browser runs the JavaScript client from a page of an admitted origin, which prints a
// receipt, waits for CUPS to complete it and buys on the simulated Ingenico terminal; then from a
// refused one, whose preflight fails so that the job is never even sent, and which the client tells
// apart from a program that is not there. The page reports each outcome to the server it came from.
void tst_PrintClientRequestHandler::browserHonoursTheOriginPolicy()
{
    const QString chromium = QStringLiteral("/usr/bin/chromium");
    if (!QFileInfo::exists(chromium))
        QSKIP("Debian's chromium is not installed (scripts/packages.sh installs it with the test packages)");
    const QByteArray page
        = QStringLiteral(R"(<script type="module">
import { Varnel, Receipt } from '/clients/js/index.js';
const varnel = new Varnel({ key: '%1', baseUrl: 'https://localhost:%3', pollMs: 100 });
let outcome;
try {
  const { jobId } = await varnel.print('Receipt', new Receipt().bold().line('admitted').cut());
  await varnel.waitForJob('Receipt', jobId, { timeoutMs: 20000, pollMs: 100 });
  const sale = await varnel.purchase('%2', 'web', 12.5);
  outcome = 'ok ' + sale.approved + ' ' + sale.texts.length;
} catch (error) {
  outcome = 'blocked ' + error.code;
}
await fetch('/result?' + encodeURIComponent(location.origin + ' ' + outcome));
if (location.hostname === 'localhost') location.href = 'http://127.0.0.1:' + location.port + '/';
</script>)")
              .arg(m_api.key, m_ptys[0].programEnd(), QString::number(TestSupport::apiPort()))
              .toUtf8();
    m_terminals[0]->setAnswerCommands(true, 200);
    QStringList results;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
            const QByteArray request = socket->readAll();
            const QByteArray path = request.mid(4, request.indexOf(' ', 4) - 4);
            QByteArray body = path == "/" ? page : QByteArray();
            QByteArray type = "text/html";
            if (path.startsWith("/result?"))
                results << QUrl::fromPercentEncoding(path.mid(8));
            if (QRegularExpression(QStringLiteral("^/clients/js/[a-z]+\\.js$"))
                    .match(QString::fromLatin1(path))
                    .hasMatch()) {
                QFile module(QStringLiteral(VARNEL_SOURCE_DIR) + QString::fromLatin1(path));
                body = module.open(QIODevice::ReadOnly) ? module.readAll() : QByteArray();
                type = "text/javascript";
            }
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type
                + "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
                + body);
            socket->disconnectFromHost();
        });
    });
    const QString port = QString::number(server.serverPort());
    QFile::remove(m_cups.outputFile(QStringLiteral("Receipt")));
    const auto createdJobs = [this] {
        QFile log(m_cups.accessLog());
        return log.open(QIODevice::ReadOnly) ? log.readAll().count("Create-Job") : -1;
    };
    const int jobs = createdJobs();

    QTemporaryDir profile;
    QProcess browser;
    browser.start(chromium,
        { "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--ignore-certificate-errors",
            "--user-data-dir=" + profile.path(), "http://localhost:" + port + "/" });
    const bool reported = QTest::qWaitFor([&] { return results.size() >= 2; }, 60000);
    browser.terminate();
    QVERIFY(browser.waitForFinished(10000));
    QVERIFY(reported);
    QCOMPARE(results.at(0), "http://localhost:" + port + " ok true 2");
    QCOMPARE(results.at(1), "http://127.0.0.1:" + port + " blocked origin-refused");
    QVERIFY(printed(9).contains("admitted\n"));
    QVERIFY(m_terminals[0]->messages().contains("P05100133304978200001250"));
    // Every request of the browser has been served once the API answers this one: one job.
    QCOMPARE(m_api.call("/getStatus").value("status"), QJsonValue(true));
    QCOMPARE(createdJobs(), jobs + 1);
}

// Chromium reads the roots a user added from ~/.pki/nssdb: "--trust" puts the program's own
// authority there, and the start page loads without any certificate switch; "--untrust" takes it
// away again.
void tst_PrintClientRequestHandler::browserTrustsOnlyAfterTrust()
{
    const auto startPage = [this] {
        QTemporaryDir profile;
        QProcess browser;
        QProcessEnvironment environment = m_varnel.environment;
        browser.setProcessEnvironment(environment);
        browser.start(QStringLiteral("/usr/bin/chromium"),
            { "--headless=new", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile.path(),
                "--dump-dom", QStringLiteral("https://localhost:%1/").arg(TestSupport::apiPort()) });
        return browser.waitForFinished(60000) ? browser.readAllStandardOutput() : QByteArray();
    };
    const QByteArray heading("<h1>Varnel</h1>");
    QVERIFY(!startPage().contains(heading));
    QCOMPARE(m_varnel.run({ QStringLiteral("--trust") }), 0);
    QVERIFY(startPage().contains(heading));
    QCOMPARE(m_varnel.run({ QStringLiteral("--untrust") }), 0);
    QVERIFY(!startPage().contains(heading));
}

QTEST_GUILESS_MAIN(tst_PrintClientRequestHandler)
#include "tst_printclientrequesthandler.moc"
