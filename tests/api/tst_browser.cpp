#include "apiclient.h"
#include "cupsscheduler.h"
#include "testsupport.h"
#include "varnelprocess.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/prctl.h>

namespace {

const QString key = QStringLiteral("Br0wser+Keyv4.0");
const QString chromium = QStringLiteral("/usr/bin/chromium");

// Each page prints a line naming where it was served from, reports the outcome of its fetch to
// the server it came from, and the admitted page then moves on to the refused origin.
const QByteArray page
    = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>API</title></head><body><script>
const line = location.hostname === 'localhost' ? 'Browser admitted\n' : 'Browser refused\n';
function report(text) { return fetch('/result', { method: 'POST', body: text }); }
fetch('https://localhost:5080/sendJob', {
    method: 'POST',
    headers: { 'Authorization': 'Bearer KEY', 'Content-Type': 'application/json' },
    body: JSON.stringify({ printer: 'Receipt', job: [{ op: 'text', data: line }] })
}).then(reply => reply.json())
  .then(json => report('ok ' + JSON.stringify(json)), error => report('blocked ' + error))
  .then(() => {
      if (location.hostname === 'localhost')
          location.href = 'http://127.0.0.1:' + location.port + '/';
  });
</script></body></html>)";

// A child that receives SIGTERM when the test process ends, however it ends.
class OrphanProofProcess : public QProcess
{
protected:
    void setupChildProcess() override { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

// Serves the page on 127.0.0.1 (reached as localhost and as 127.0.0.1) and records what the pages
// post to "/result", with the origin they posted from.
class PageServer : public QTcpServer
{
public:
    struct Result
    {
        QByteArray origin;
        QByteArray text;
    };
    QList<Result> results;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        QByteArray origin;
        int length = 0;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        for (const QByteArray &line : lines) {
            const int colon = line.indexOf(':');
            const QByteArray name = line.left(colon).trimmed().toLower();
            if (name == "content-length")
                length = line.mid(colon + 1).trimmed().toInt();
            else if (name == "origin")
                origin = line.mid(colon + 1).trimmed();
        }
        if (buffer.size() < headEnd + 4 + length)
            return;
        const QByteArray requestLine = lines.first();
        QByteArray body;
        QByteArray type = "text/plain";
        if (requestLine.startsWith("POST /result")) {
            results.append({ origin, buffer.mid(headEnd + 4, length) });
        } else if (requestLine.startsWith("GET / ")) {
            body = QByteArray(page).replace("KEY", key.toUtf8());
            type = "text/html; charset=utf-8";
        }
        m_buffers.remove(socket);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QHash<QTcpSocket *, QByteArray> m_buffers;
};

} // namespace

// A real browser calls the real program: headless Chromium loads a page from an admitted origin
// that prints through the API with fetch, a key in the Authorization header and a JSON body (so
// the browser sends a preflight first), then the same page from a refused origin.
class tst_Browser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void admittedOriginPrintsRefusedOriginIsBlocked();
    void certificateTrustedOnlyAfterTrust();

private:
    int createdJobs() const;
    QByteArray startPage();

    CupsScheduler m_cups;
    VarnelProcess m_varnel;
};

void tst_Browser::initTestCase()
{
    if (!QFileInfo::exists(chromium))
        QSKIP("Debian's chromium is not installed (scripts/packages.sh installs it with the test packages)");
    QVERIFY(m_cups.start());
    QVERIFY(m_cups.addQueue(QStringLiteral("Receipt")));
    m_varnel.setEnvironment(QStringLiteral("CUPS_SERVER"), m_cups.server());
    m_varnel.store(QStringLiteral("securityKey"), key);
    m_varnel.store(VarnelProcess::printerKey(QStringLiteral("Receipt")), true);
    QVERIFY(m_varnel.start());
}

void tst_Browser::cleanupTestCase()
{
    // Under the sanitizers a fault in the program ends it or leaves a report in its output.
    QVERIFY(m_varnel.isRunning());
    QVERIFY2(!m_varnel.log().contains("runtime error") && !m_varnel.log().contains("Sanitizer"),
        m_varnel.log().right(4000).constData());
    m_varnel.stop();
    m_cups.stop();
}

int tst_Browser::createdJobs() const
{
    QFile log(m_cups.accessLog());
    return log.open(QIODevice::ReadOnly) ? log.readAll().count("Create-Job") : -1;
}

void tst_Browser::admittedOriginPrintsRefusedOriginIsBlocked()
{
    PageServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QByteArray port = QByteArray::number(server.serverPort());

    QTemporaryDir profile;
    OrphanProofProcess browser;
    browser.setStandardOutputFile(profile.filePath(QStringLiteral("chromium.log")));
    browser.setStandardErrorFile(profile.filePath(QStringLiteral("chromium.log")));
    browser.start(chromium,
        { QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
            QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
            QStringLiteral("--disable-background-networking"), QStringLiteral("--disable-component-update"),
            QStringLiteral("--disable-sync"), QStringLiteral("--ignore-certificate-errors"),
            QStringLiteral("--user-data-dir=") + profile.filePath(QStringLiteral("profile")),
            QStringLiteral("http://localhost:") + QString::fromLatin1(port) + QLatin1Char('/') });
    QVERIFY(browser.waitForStarted());
    const bool reported = QTest::qWaitFor([&] { return server.results.size() >= 2; }, 60000);
    TestSupport::stopPid(browser.processId());
    browser.waitForFinished();
    QVERIFY2(reported, qPrintable(QString::number(server.results.size()) + QStringLiteral(" results")));

    // Admitted: the preflight passed, the job printed and the page could read the reply.
    QCOMPARE(server.results.at(0).origin, "http://localhost:" + port);
    QCOMPARE(server.results.at(0).text,
        QByteArray("ok {\"data\":\"Job completed successfully\",\"status\":true}"));
    QTRY_COMPARE_WITH_TIMEOUT(createdJobs(), 1, 10000);
    // The scheduler's backend writes the bytes a moment after the job was created.
    const auto printed = [this] {
        QFile output(m_cups.outputFile(QStringLiteral("Receipt")));
        return output.open(QIODevice::ReadOnly) ? output.readAll() : QByteArray();
    };
    QTRY_COMPARE_WITH_TIMEOUT(printed(), QByteArray("\x1b\x40\x1b\x74\x00", 5) + "Browser admitted\n", 10000);

    // Refused: the browser stopped at the preflight, so the job was never even sent.
    QCOMPARE(server.results.at(1).origin, "http://127.0.0.1:" + port);
    QVERIFY2(
        server.results.at(1).text.startsWith("blocked TypeError"), server.results.at(1).text.constData());
    // Every request the browser made has been answered once the API answers this one.
    ApiClient api;
    api.setKey(key);
    QCOMPARE(api.call("/getStatus").value(QStringLiteral("status")), QJsonValue(true));
    QCOMPARE(createdJobs(), 1);
}

// The start page, as a browser with the program's home shows it; empty when the page did not load.
QByteArray tst_Browser::startPage()
{
    QTemporaryDir profile;
    return TestSupport::run(QStringLiteral("env"),
        { "HOME=" + m_varnel.home(), chromium, "--headless=new", "--no-sandbox", "--disable-gpu",
            "--user-data-dir=" + profile.path(), "--dump-dom", "https://localhost:5080/" },
        60000);
}

// Chromium reads the roots a user added from ~/.pki/nssdb: "--trust" puts the program's authority
// there and "--untrust" takes it away again.
void tst_Browser::certificateTrustedOnlyAfterTrust()
{
    const QByteArray heading("<h1>Varnel</h1>");
    QVERIFY(!startPage().contains(heading));
    QCOMPARE(m_varnel.run({ QStringLiteral("--trust") }), 0);
    QVERIFY(startPage().contains(heading));
    QCOMPARE(m_varnel.run({ QStringLiteral("--untrust") }), 0);
    QVERIFY(!startPage().contains(heading));
}

QTEST_GUILESS_MAIN(tst_Browser)
#include "tst_browser.moc"
