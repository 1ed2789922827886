#include "memorysocket.h"
#include "nativeescfakesocket.h"
#include "printjob.h"
#include "testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cups/cups.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray noisePng(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate());
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QJsonArray parse(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).array();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

// Raw jobs against a private CUPS scheduler whose queues write what they receive into files.
class TestNativeESCFakeSocket : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void wholeJobArrivesByteIdentical_data();
    void wholeJobArrivesByteIdentical();
    void writesBeforeConnectingAreDropped();
    void firstWriteOpensTheJob();
    void endWithoutJobMakesNoCall();
    void closeLeavesTheDocumentOpen();
    void disabledQueueFailsBeforeSending();
    void rejectingQueueFailsAtJobCreation();
    void unknownQueueFails();
    void schedulerGoneMidJob();
    void schedulerGone();

private:
    QString out(const QString &queue) const { return m_dir.filePath(queue + QStringLiteral(".bin")); }
    void fixture(const QStringList &arguments);
    // Access-log lines written since the last call, up to a request of our own that marks the end.
    QStringList newRequests();

    QTemporaryDir m_dir;
    qint64 m_logOffset = 0;
};

void TestNativeESCFakeSocket::fixture(const QStringList &arguments)
{
    int exitCode = -1;
    TestSupport::run(QStringLiteral("bash"),
        QStringList { TestSupport::fixture(QStringLiteral("cupsfixture.sh")) } + arguments, 30000, &exitCode);
    QCOMPARE(exitCode, 0);
}

void TestNativeESCFakeSocket::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString dir = m_dir.path();
    fixture({ QStringLiteral("start"), dir });
    qputenv("CUPS_SERVER", QFile::encodeName(m_dir.filePath(QStringLiteral("cups.sock"))));
    for (const char *queue : { "receipt", "disabled", "rejecting" })
        fixture({ QStringLiteral("addqueue"), dir, QLatin1String(queue), out(QLatin1String(queue)) });
    const QString socket = m_dir.filePath(QStringLiteral("cups.sock"));
    int exitCode = -1;
    TestSupport::run(QStringLiteral("cupsdisable"),
        { QStringLiteral("-h"), socket, QStringLiteral("disabled") }, 30000, &exitCode);
    QCOMPARE(exitCode, 0);
    TestSupport::run(QStringLiteral("cupsreject"),
        { QStringLiteral("-h"), socket, QStringLiteral("rejecting") }, 30000, &exitCode);
    QCOMPARE(exitCode, 0);
}

void TestNativeESCFakeSocket::cleanupTestCase()
{
    fixture({ QStringLiteral("stop"), m_dir.path() });
}

void TestNativeESCFakeSocket::init()
{
    QFile::remove(out(QStringLiteral("receipt")));
    newRequests();
}

QStringList TestNativeESCFakeSocket::newRequests()
{
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
    // The debug log has one "Returning IPP <status> for <operation>" line per request.
    static const QRegularExpression answer(QStringLiteral("Returning IPP (\\S+) for (\\S+)"));
    QFile log(m_dir.filePath(QStringLiteral("log/error_log")));
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (log.open(QIODevice::ReadOnly)) {
            log.seek(m_logOffset);
            const QByteArray added = log.readAll();
            log.close();
            QStringList requests;
            qint64 consumed = 0;
            for (const QByteArray &line : added.split('\n')) {
                consumed += line.size() + 1;
                const QRegularExpressionMatch match = answer.match(QString::fromUtf8(line));
                if (!match.hasMatch())
                    continue;
                if (match.captured(2) == QLatin1String("CUPS-Get-Default")) {
                    m_logOffset += consumed;
                    return requests;
                }
                requests.append(match.captured(2) + QLatin1Char(' ') + match.captured(1));
            }
        }
        QTest::qWait(10);
    }
    return { QStringLiteral("<the scheduler did not log our request>") };
}

void TestNativeESCFakeSocket::wholeJobArrivesByteIdentical_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<bool>("compat");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("text and cut") << QByteArray(R"([{"op":"text","data":"Olá"},{"op":"cut","data":"feed"}])")
                                  << false << hex("1B40 1B7400 4F6CA0 1D56420A");
    QTest::newRow("empty job") << QByteArray("[]") << false << hex("1B40");
    const QByteArray receipt
        = R"([{"op":"settings","data":{"normalLineWidth":42,"hasCutter":true,"hasDrawer":true}},
        {"op":"alignment","data":1},{"op":"image","data":")"
        + noisePng(576, 60).toBase64() + R"("},{"op":"double","data":{"height":true,"width":true}},
        {"op":"text","data":"Café Ação\n"},{"op":"double","data":{}},{"op":"alignment","data":0},
        {"op":"style","data":{"emphasized":true}},{"op":"text","data":"Pão de forma 2 x 1,20 € ....... 2,40 €\n"},
        {"op":"condensed","data":true},{"op":"text","data":"Œuvre — “quoted” 中 text that is long enough to wrap\n"},
        {"op":"cut","data":"feed"},{"op":"pulse","data":{"drawer":1,"pulse":120}}])";
    QTest::newRow("receipt") << receipt << false << QByteArray();
    QTest::newRow("receipt, compatibility") << receipt << true << QByteArray();
}

void TestNativeESCFakeSocket::wholeJobArrivesByteIdentical()
{
    QFETCH(QByteArray, job);
    QFETCH(bool, compat);
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty()) {
        auto *memory = new MemorySocket;
        PrintJob reference(parse(job), QStringLiteral("receipt"), compat, memory);
        QVERIFY(reference.execute());
        bytes = memory->written;
        QVERIFY(bytes.size() > 576 * 3 * 3);
    }
    PrintJob printJob(parse(job), QStringLiteral("receipt"), compat);
    QVERIFY(printJob.execute());
    QTRY_COMPARE_WITH_TIMEOUT(readFile(out(QStringLiteral("receipt"))).size(), bytes.size(), 10000);
    QCOMPARE(readFile(out(QStringLiteral("receipt"))).toHex(' '), bytes.toHex(' '));
    const QStringList requests = newRequests();
    QCOMPARE(requests.filter(QStringLiteral("Create-Job successful-ok")).size(), 1);
    QCOMPARE(requests.filter(QStringLiteral("Send-Document successful-ok")).size(), 1);
}

void TestNativeESCFakeSocket::writesBeforeConnectingAreDropped()
{
    NativeESCFakeSocket socket;
    QVERIFY(socket.open(QIODevice::WriteOnly));
    QCOMPARE(socket.write("abc"), qint64(3));
    QCOMPARE(socket.bytesToWrite(), qint64(0));
    socket.endJobRequested();
    QCOMPARE(newRequests().filter(QStringLiteral("Job")), QStringList());
}

void TestNativeESCFakeSocket::firstWriteOpensTheJob()
{
    NativeESCFakeSocket socket;
    QVERIFY(socket.connectToDevice(QStringLiteral("receipt")));
    QVERIFY(socket.isOpen());
    QCOMPARE(socket.write("hello"), qint64(5));
    QCOMPARE(socket.bytesToWrite(), qint64(0));
    QCOMPARE(socket.write(QByteArray(70000, 'x')), qint64(70000));
    socket.endJobRequested();
    QTRY_COMPARE_WITH_TIMEOUT(
        readFile(out(QStringLiteral("receipt"))), "hello" + QByteArray(70000, 'x'), 10000);
    const QStringList requests = newRequests();
    QCOMPARE(requests.filter(QStringLiteral("Create-Job successful-ok")).size(), 1);
    QCOMPARE(requests.filter(QStringLiteral("Send-Document successful-ok")).size(), 1);
}

void TestNativeESCFakeSocket::endWithoutJobMakesNoCall()
{
    NativeESCFakeSocket socket;
    QVERIFY(socket.connectToDevice(QStringLiteral("receipt")));
    socket.endJobRequested();
    QCOMPARE(socket.bytesAvailable(), qint64(0));
    char buffer[4];
    QCOMPARE(socket.read(buffer, sizeof buffer), qint64(0));
    QCOMPARE(newRequests().filter(QStringLiteral("Job")), QStringList());
}

void TestNativeESCFakeSocket::closeLeavesTheDocumentOpen()
{
    NativeESCFakeSocket socket;
    QVERIFY(socket.connectToDevice(QStringLiteral("receipt")));
    QVERIFY(socket.startJobRequested());
    QCOMPARE(socket.write("ab"), qint64(2));
    socket.close();
    QVERIFY(socket.isOpen());
    QCOMPARE(socket.write("cd"), qint64(2));
    socket.endJobRequested();
    QTRY_COMPARE_WITH_TIMEOUT(readFile(out(QStringLiteral("receipt"))), QByteArray("abcd"), 10000);
}

void TestNativeESCFakeSocket::disabledQueueFailsBeforeSending()
{
    NativeESCFakeSocket socket;
    QVERIFY(!socket.connectToDevice(QStringLiteral("disabled")));
    QVERIFY(!socket.isOpen());
    PrintJob job(parse(R"([{"op":"text","data":"x"}])"), QStringLiteral("disabled"), false);
    QVERIFY(!job.execute());
    QCOMPARE(newRequests().filter(QStringLiteral("Create-Job")), QStringList());
}

void TestNativeESCFakeSocket::rejectingQueueFailsAtJobCreation()
{
    NativeESCFakeSocket socket;
    QVERIFY(socket.connectToDevice(QStringLiteral("rejecting")));
    QVERIFY(!socket.startJobRequested());
    // A write that cannot open a job sends nothing either.
    QCOMPARE(socket.write("x"), qint64(0));
    QCOMPARE(socket.bytesToWrite(), qint64(1));
    socket.endJobRequested();
    PrintJob job(parse(R"([{"op":"text","data":"x"}])"), QStringLiteral("rejecting"), false);
    QVERIFY(!job.execute());
    const QStringList requests = newRequests();
    QCOMPARE(requests.filter(QStringLiteral("Create-Job")).size(), 3);
    QCOMPARE(requests.filter(QStringLiteral("Job successful-ok")), QStringList());
    QCOMPARE(requests.filter(QStringLiteral("Send-Document")), QStringList());
}

void TestNativeESCFakeSocket::unknownQueueFails()
{
    PrintJob job(parse("[]"), QStringLiteral("no-such-queue"), false);
    QVERIFY(!job.execute());
}

void TestNativeESCFakeSocket::schedulerGoneMidJob()
{
    // The scheduler is stopped while the job waits for its image.
    const QByteArray png = noisePng(64, 48);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket *socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
            if (!socket->readAll().contains("\r\n\r\n"))
                return;
            fixture({ QStringLiteral("stop"), m_dir.path() });
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: "
                + QByteArray::number(png.size()) + "\r\n\r\n" + png);
            socket->disconnectFromHost();
        });
    });
    const QByteArray url = "http://127.0.0.1:" + QByteArray::number(server.serverPort()) + "/logo.png";
    PrintJob job(parse(R"([{"op":"text","data":"before"},{"op":"image","data":")" + url
                     + R"("},{"op":"text","data":"after"}])"),
        QStringLiteral("receipt"), false);
    QVERIFY(!job.execute());
}

void TestNativeESCFakeSocket::schedulerGone()
{
    fixture({ QStringLiteral("stop"), m_dir.path() });
    PrintJob job(parse(R"([{"op":"text","data":"x"}])"), QStringLiteral("receipt"), false);
    QVERIFY(!job.execute());
    NativeESCFakeSocket socket;
    socket.connectToDevice(QStringLiteral("receipt"));
    QVERIFY(!socket.startJobRequested());
}

QTEST_GUILESS_MAIN(TestNativeESCFakeSocket)
#include "tst_nativeescfakesocket.moc"
