// Print jobs through a private CUPS scheduler: the bytes a queue receives for every branch of
// the job language, images fetched over HTTP within their bounds, and the ways CUPS fails a job.
#include "cupsrawjob.h"
#include "cupsscheduler.h"
#include "printer.h"
#include "testsupport.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cups/cups.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray png(int width, int height, QRgb colour = 0xFFFFFFFF, const char *format = "PNG")
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray image(const QByteArray &data)
{
    return R"({"op":"image","data":")" + data + "\"}";
}

QByteArray reply(const QByteArray &status, const QByteArray &body, const QByteArray &headers = QByteArray())
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + headers
        + "\r\n" + body;
}

} // namespace

class tst_PrintJob : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bytes_data();
    void bytes();
    void httpImage_data();
    void httpImage();
    void invalidSymbols_data();
    void invalidSymbols();
    void failure_data();
    void failure();

private:
    // Runs the job on the queue and, when it succeeded, waits for what the queue received.
    bool print(const QByteArray &json, bool compat, QByteArray *received, const QString &queue = "receipt",
        QString *error = nullptr);

    QByteArray url(const QByteArray &path) const
    {
        return "http://127.0.0.1:" + QByteArray::number(http.serverPort()) + path;
    }

    QTemporaryDir settings;
    CupsScheduler cups;
    // Answers each path with its canned reply and closes; a path without one gets no answer.
    QTcpServer http;
    QMap<QByteArray, QByteArray> replies;
    bool stopSchedulerOnRequest = false;
};

void tst_PrintJob::initTestCase()
{
    TestSupport::useTemporarySettings(settings);
    qputenv("CUPSD_EXTRA_CONF", "MaxRequestSize 2m");
    qputenv("VARNEL_IMAGE_FETCH_TIMEOUT_MS", "5000");
    QVERIFY(cups.start());
    QVERIFY(cups.addQueue(QStringLiteral("receipt")));
    QVERIFY(http.listen(QHostAddress::LocalHost));
    connect(&http, &QTcpServer::newConnection, this, [this] {
        QTcpSocket *socket = http.nextPendingConnection();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray path = socket->readAll().split(' ').value(1);
            if (stopSchedulerOnRequest)
                cups.stop();
            if (replies.contains(path)) {
                socket->write(replies.value(path));
                socket->disconnectFromHost();
            }
        });
    });
    const QByteArray logo = png(3, 2, 0xFF000000);
    replies["/logo.png"] = reply("200 OK", logo, "Content-Type: image/png\r\n");
    replies["/redirect"] = reply("302 Found", "", "Location: /logo.png\r\n");
    replies["/missing"] = reply("404 Not Found", logo);
    replies["/text"] = reply("200 OK", "hello");
    replies["/big"] = "HTTP/1.1 200 OK\r\nContent-Length: 10485761\r\n\r\n" + logo;
}

bool tst_PrintJob::print(
    const QByteArray &json, bool compat, QByteArray *received, const QString &queue, QString *error)
{
    const QString output = cups.outputFile(queue);
    QFile::remove(output);
    PrinterStatus status;
    status.name = queue;
    QString why;
    if (Printer(status).print(QJsonDocument::fromJson(json).array(), compat, error ? error : &why) <= 0)
        return false;
    // The queue's file is complete once the scheduler has no job left on it.
    const bool done = QTest::qWaitFor([&queue] {
        cups_job_t *jobs = nullptr;
        const int active = cupsGetJobs(&jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(active, jobs);
        return active == 0;
    });
    QFile file(output);
    file.open(QIODevice::ReadOnly);
    *received = done ? file.readAll() : QByteArray("<the job did not end>");
    return true;
}

void tst_PrintJob::bytes_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<bool>("compat");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray null = image("x");
    const QByteArray nullBytes = hex("1d500000 1b3300");
    const QByteArray white = image(png(3, 2).toBase64());
    const QByteArray band = hex("1d500000 1b3300 1b2a210300 000000000000000000 1b6400");
    const auto row = [](const char *name, const QByteArray &job, const QByteArray &bytes,
                         bool compat = false) { QTest::newRow(name) << job << compat << bytes; };
    row("empty job", "[]", hex("1b40"));
    row("alignment once, and again after an image",
        R"([{"op":"alignment","data":1},{"op":"alignment","data":1},)" + null
            + R"(,{"op":"alignment","data":1}])",
        hex("1b40 1b6101") + nullBytes + hex("1b40 1b6101"));
    row("compatibility: no reset, alignment kept after an image",
        R"([{"op":"alignment","data":1},)" + null
            + R"(,{"op":"alignment","data":1},{"op":"text","data":"a"}])",
        hex("1b6101 1d50cbcb 1b7400 61"), true);
    row("alignment 7 is left", R"([{"op":"alignment","data":7}])", hex("1b40 1b6100"));
    row("pulse", R"([{"op":"pulse","data":{"drawer":1,"pulse":300}},{"op":"pulse","data":{"drawer":5}}])",
        hex("1b40 1b700132fa 1b700032fa"));
    row("cut",
        R"([{"op":"cut","data":"no_feed"},{"op":"cut","data":"feed"},{"op":"cut","data":"x"},{"op":"cut","data":true}])",
        hex("1b40 1d5631 1d56420a 1d56420a"));
    row("no cutter, no drawer",
        R"([{"op":"settings","data":{}},{"op":"cut","data":"feed"},{"op":"pulse","data":{}}])", hex("1b40"));
    row("style bits, unchanged style not sent",
        R"([{"op":"style","data":{"emphasized":true,"underlined":true}},{"op":"double","data":{"height":true,"width":true}},)"
        R"({"op":"condensed","data":true},{"op":"style","data":{"emphasized":true,"underlined":true}}])",
        hex("1b40 1b2188 1b21b8 1b21b9"));
    row("style again after an image",
        R"([{"op":"style","data":{"emphasized":true}},)" + null
            + R"(,{"op":"style","data":{"emphasized":true}}])",
        hex("1b40 1b2108") + nullBytes + hex("1b40 1b2108"));
    row("malformed commands skipped",
        R"([1,"x",null,{},{"op":5},{"op":"Text","data":"a"},{"op":"text","data":5}])", hex("1b40"));
    row("code pages", R"([{"op":"text","data":"Olá €中\n"}])",
        hex("1b40 1b7400 4f6ca0 20 1b7410801b7400 00 0a"));
    row("alternative code page",
        R"([{"op":"settings","data":{"alternativeCharset":true}},{"op":"text","data":"€"}])",
        hex("1b40 1b7400 1b7413d51b7400"));
    row("folded, wider than before, wrapped",
        R"([{"op":"settings","data":{"replaceAccentedChars":true,"normalLineWidth":7}},{"op":"text","data":"Straße €"}])",
        hex("1b40 1b7400") + "Strasse\n ");
    row("wrapped at a space and after a hyphen",
        R"([{"op":"settings","data":{"normalLineWidth":6}},{"op":"text","data":"abc-defgh ij"}])",
        hex("1b40 1b7400") + "abc-\ndefgh\nij");
    row("hyphen then hard cuts",
        R"([{"op":"settings","data":{"normalLineWidth":5}},{"op":"text","data":"a-bcdefghijkl"}])",
        hex("1b40 1b7400") + "a-\nbcdef\nghijk\nl");
    row("condensed width halved by double width",
        R"([{"op":"settings","data":{"condensedLineWidth":8}},{"op":"condensed","data":true},)"
        R"({"op":"double","data":{"width":true}},{"op":"text","data":"abcdefg"}])",
        hex("1b40 1b2101 1b2121 1b7400") + "abcd\nefg");
    row("image", "[" + white + "]", hex("1b40") + band + hex("1b40"));
    row("image as data URI", "[" + image("data:image/png;base64," + png(3, 2).toBase64()) + "]",
        hex("1b40") + band + hex("1b40"));
    row("image, compatibility", "[" + white + "]", hex("1d50cbcb 1b2a210300 000000000000000000 1b4a18"),
        true);
    row("image, low density: half as wide, a third as high",
        R"([{"op":"settings","data":{"lowDensity":true}},)" + image(png(7, 7).toBase64()) + "]",
        hex("1b40 1d500000 1b3300 1b2a000300 000000 1b6400 1b40"));
    row("image in page mode", R"([{"op":"settings","data":{"imagePrintMode":1}},)" + white + "]",
        hex("1b40 1b4c 1b5700000000 03000200") + band + hex("0c 1b40"));
    row("image print mode 2 prints nothing",
        R"([{"op":"settings","data":{"imagePrintMode":2}},)" + white + "]", hex("1b40 1b40"));
    row("image not PNG", "[" + image(png(3, 2, 0xFFFFFFFF, "BMP").toBase64()) + "]",
        hex("1b40") + nullBytes + hex("1b40"));
    row("image too wide", "[" + image(png(8193, 1).toBase64()) + "]", hex("1b40") + nullBytes + hex("1b40"));
    row("image too large decoded", "[" + image(png(2897, 2897).toBase64()) + "]",
        hex("1b40") + nullBytes + hex("1b40"));
    const QByteArray qrAB = hex("1D286B04003141 3200 1D286B030031 43");
    row("qrcode native, defaults", R"([{"op":"qrcode","data":{"text":"AB"}}])",
        hex("1B40 1B4A18") + qrAB + hex("06 1D286B0300314531 1D286B0500315030 4142 1D286B0300315130 1B4A18"));
    row("qrcode, widthMm chooses the size",
        R"([{"op":"qrcode","data":{"text":"AB","widthMm":10,"ecc":"H","size":9,"mode":"native"}}])",
        hex("1B40 1B4A0C") + qrAB + hex("03 1D286B0300314533 1D286B0500315030 4142 1D286B0300315130 1B4A0C"));
    // The bands of compatibility mode, framed as outside it, between the reset and the restored state.
    const QByteArray qrImage = R"({"op":"qrcode","data":{"text":"1","mode":"image","size":1}})";
    QByteArray compatBands;
    QVERIFY(print("[" + qrImage + "]", true, &compatBands));
    row("qrcode image, alignment and style kept",
        R"([{"op":"alignment","data":1},{"op":"style","data":{"emphasized":true}},)" + qrImage + "]",
        hex("1B40 1B6101 1B2108 1D500000 1B3300")
            + compatBands.mid(4, 2 * (5 + 29 * 3 + 3)).replace(hex("1B4A18"), hex("1B6400"))
            + hex("1B40 1B6101 1B2108"));
    row("barcode ean13, check digit computed, defaults",
        R"([{"op":"barcode","data":{"type":"ean13","text":"590123412345"}}])",
        hex("1B40 1D6850 1D7703 1D4802 1D6B430D") + "5901234123457");
    row("barcode upca, check digit given, text above and below",
        R"([{"op":"barcode","data":{"type":"upca","text":"036000291452","hri":"both","height":1,"width":2}}])",
        hex("1B40 1D6801 1D7702 1D4803 1D6B410C") + "036000291452");
    row("barcode code128, code sets B and C",
        R"([{"op":"barcode","data":{"type":"code128","text":"12345{6789012Y12","hri":"none"}}])",
        hex("1B40 1D6850 1D7703 1D4800 1D6B4914 7B430C22 7B42357B7B36 7B434E5A0C 7B42593132"));
    row("barcode code39 and itf as given",
        R"([{"op":"barcode","data":{"type":"code39","text":"A-1 $","hri":"above"}},{"op":"barcode","data":{"type":"itf","text":"0123"}}])",
        hex("1B40 1D6850 1D7703 1D4801 1D6B4505") + "A-1 $" + hex("1D6850 1D7703 1D4802 1D6B4604") + "0123");
}

void tst_PrintJob::bytes()
{
    QFETCH(QByteArray, job);
    QFETCH(bool, compat);
    QFETCH(QByteArray, bytes);
    QByteArray received;
    QVERIFY(print(job, compat, &received));
    QCOMPARE(received.toHex(' '), bytes.toHex(' '));
}

void tst_PrintJob::httpImage_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("printed");
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("found") << QByteArray("/logo.png") << true << 5000;
    QTest::newRow("redirected") << QByteArray("/redirect") << true << 5000;
    QTest::newRow("404 with an image") << QByteArray("/missing") << false << 5000;
    QTest::newRow("not an image") << QByteArray("/text") << false << 5000;
    QTest::newRow("over the size bound") << QByteArray("/big") << false << 5000;
    QTest::newRow("no answer: time-out") << QByteArray("/silent") << false << 300;
}

void tst_PrintJob::httpImage()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, printed);
    QFETCH(int, timeoutMs);
    QByteArray expected;
    QVERIFY(print(
        "[" + image((printed ? png(3, 2, 0xFF000000) : QByteArray()).toBase64()) + "]", true, &expected));
    QByteArray received;
    qputenv("VARNEL_IMAGE_FETCH_TIMEOUT_MS", QByteArray::number(timeoutMs));
    const bool done = print("[" + image(url(path)) + "]", true, &received);
    qputenv("VARNEL_IMAGE_FETCH_TIMEOUT_MS", "5000");
    QVERIFY(done);
    QCOMPARE(received.toHex(' '), expected.toHex(' '));
}

void tst_PrintJob::failure_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("stillReady");
    // Each makes a queue of its own and acts on it, the last one during the job, for good.
    QTest::newRow("disabled queue") << "cupsdisable" << false;
    QTest::newRow("rejecting queue") << "cupsreject" << true;
    QTest::newRow("queue removed") << "remove" << false;
    // The scheduler takes requests of up to 2 MiB: it refuses the rest of this one midway.
    QTest::newRow("data refused midway") << "oversized" << true;
    QTest::newRow("scheduler gone during the job") << "stop" << false;
}

void tst_PrintJob::failure()
{
    QFETCH(QString, action);
    QFETCH(bool, stillReady);
    const QString queue = QStringLiteral("q_") + action;
    QVERIFY(cups.addQueue(queue));
    PrinterStatus status;
    status.name = queue;
    const Printer printer(status);
    const auto ready = [&printer, &status] {
        QString error;
        return printer.readStatus(&status, &error) == Printer::Reading::Read && status.ready();
    };
    QVERIFY(ready());
    const QByteArray text = action == QLatin1String("oversized") ? QByteArray(3 << 20, 'x') : "before";
    if (action == QLatin1String("stop"))
        stopSchedulerOnRequest = true;
    else if (action == QLatin1String("remove"))
        QVERIFY(cups.removeQueue(queue));
    else if (action != QLatin1String("oversized"))
        QVERIFY(cups.command(action, { queue }));
    QByteArray received;
    QString error;
    QVERIFY(!print(R"([{"op":"text","data":")" + text + R"("},)" + image(url("/logo.png")) + "]", true,
        &received, queue, &error));
    QCOMPARE(ready(), stillReady);
    if (action == QLatin1String("stop"))
        return;
    // A failed job leaves nothing behind on this thread's connection to the scheduler.
    QVERIFY(print(R"([{"op":"text","data":"a"}])", false, &received));
    QCOMPARE(received.toHex(' '), hex("1b40 1b7400 61").toHex(' '));
}

// A bad symbol fails the whole job before CUPS is asked for one, naming where and what.
void tst_PrintJob::invalidSymbols_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("named");

    const char *rows[][3] = { { "qrcode", "\"AB\"", "\"AB\"" }, { "qrcode", "{}", "nothing" },
        { "qrcode", R"({"text":"AB","size":17})", "17" }, { "qrcode", R"({"text":"AB","size":2.5})", "2.5" },
        { "qrcode", R"({"text":"AB","ecc":"m"})", "\"m\"" },
        { "qrcode", R"({"text":"AB","mode":"svg"})", "\"svg\"" },
        { "qrcode", R"({"text":"AB","widthMm":0})", "0" }, { "qrcode", R"({"text":"AB","widthMm":2})", "2" },
        { "qrcode",
            R"({"text":"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVWX","size":16,"mode":"image"})",
            "16" },
        { "barcode", R"({"type":"ean","text":"1"})", "\"ean\"" },
        { "barcode", R"({"type":"itf","text":""})", "\"\"" },
        { "barcode", R"({"type":"itf","text":"12","height":0})", "0" },
        { "barcode", R"({"type":"itf","text":"12","width":1})", "1" },
        { "barcode", R"({"type":"itf","text":"12","hri":"left"})", "\"left\"" },
        { "barcode", R"({"type":"ean13","text":"5901234123458"})", "5901234123458" },
        { "barcode", R"({"type":"ean8","text":"96385O74"})", "96385O74" },
        { "barcode", R"({"type":"code39","text":"abc"})", "abc" },
        { "barcode", R"({"type":"itf","text":"123"})", "123" },
        { "barcode", R"({"type":"code128","text":"Ação"})", "Ação" },
        { "barcode", R"({"type":"code128","text":"123456789012345678901234567A"})", "dots wide" },
        { "barcode",
            R"({"type":"code39","text":"12345678901234567890123456789012345678901234567890123456789012345678901234567890ABCDEF"})",
            "too long to draw as code39" },
        { "barcode",
            R"({"type":"itf","text":"123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456"})",
            "too long to draw as itf" },
        { "settings", R"({"dotWidth":4097})", "4097" },
        { "qrcode", R"({"text":"A:1","profile":"fr-nf525"})", "\"fr-nf525\"" },
        { "qrcode", R"({"text":"A:1","profile":"pt-atcud","ecc":"L"})", "\"L\"" },
        { "qrcode", R"({"text":"A:1","profile":"pt-atcud","size":8})", "\"size\"" },
        { "qrcode", R"({"text":"A:1","profile":"pt-atcud","widthMm":29.5})", "29.5" },
        { "qrcode", R"({"text":"A:1","profile":"es-verifactu","widthMm":41})", "41" } };
    for (const auto &row : rows)
        QTest::newRow(row[2]) << QByteArray(R"([{"op":"text","data":"a"},{"op":")") + row[0] + R"(","data":)"
                + row[1]
                + "}]" << QString::fromUtf8(row[2]);
    // Fiscal texts with one field wrong: the error names the field.
    const QByteArray atcud
        = "A:123456789*B:999999990*C:PT*D:FS*E:N*F:20261207*G:FS A/1*H:JJ7KQ2RT-1*I1:PT*N:0.64*"
          "O:3.40*Q:Ab1c*R:1234";
    const QByteArray verifactu
        = "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?nif=B88752210&"
          "numserie=1%2F25A-321&fecha=05-01-2026&importe=567.00";
    const char *fiscal[][3] = { { "F:20261207", "F:2026-12-07", "field \"F\"" },
        { "F:20261207", "F:20261307", "field \"F\" " }, { "N:0.64", "N:0,64", "field \"N\"" },
        { "O:3.40", "O:3.4", "field \"O\"" }, { "A:123456789", "A:12345678", "field \"A\"" },
        { "*H:JJ7KQ2RT-1", "", "field \"H\"" }, { "*R:1234", "", "field \"R\"" },
        { "C:PT*D:FS", "D:FS*C:PT", "field \"C\"" }, { "Q:Ab1c", "Q:Ab1", "field \"Q\"" },
        { "I1:PT", "I1:PT*J2:1.00", "field \"J2\"" }, { "*R:1234", "*R:1234*T:x", "\"T\"" },
        { "*R:1234", "*R:1234*S:", "field \"S\"" }, { "ValidarQR?", "ValidarQRs?", "validation URL" },
        { "nif=B88752210", "nif=B8875221", "parameter \"nif\"" },
        { "numserie=1%2F25A-321&", "", "parameter \"numserie\"" },
        { "fecha=05-01-2026", "fecha=2026-01-05", "parameter \"fecha\"" },
        { "fecha=05-01-2026", "fecha=31-02-2026", "parameter \"fecha\" " },
        { "importe=567.00", "importe=567,00", "parameter \"importe\"" } };
    for (const auto &row : fiscal) {
        const bool pt = atcud.contains(row[0]);
        QByteArray text = pt ? atcud : verifactu;
        text.replace(row[0], row[1]);
        QTest::newRow(row[2]) << R"([{"op":"text","data":"a"},{"op":"qrcode","data":{"profile":")"
                + QByteArray(pt ? "pt-atcud" : "es-verifactu") + R"(","text":")" + text
                + "\"}}]" << QString::fromUtf8(row[2]).trimmed();
    }
    QTest::newRow("more bytes than a job sends") << R"([{"op":"text","data":"a"},{"op":"text","data":")"
            + QByteArray(4 << 20, 'x') + "\"}]" << QStringLiteral("4194304");
    QTest::newRow("text longer than a code holds")
        << QByteArray(R"([{"op":"settings","data":{}},{"op":"qrcode","data":{"text":")")
            + QByteArray(1300, 'x') + R"(","ecc":"H"}}])"
        << QStringLiteral("1300 bytes");
}

void tst_PrintJob::invalidSymbols()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, named);
    QFile log(cups.accessLog());
    const auto jobsOpened = [&log] {
        log.open(QIODevice::ReadOnly);
        const int count = log.readAll().count("Create-Job");
        log.close();
        return count;
    };
    const int before = jobsOpened();
    QByteArray received;
    QString error;
    QVERIFY(!print(data, false, &received, QStringLiteral("receipt"), &error));
    QVERIFY2(error.startsWith(QLatin1String("job[1] ")) && error.contains(named), qPrintable(error));
    QCOMPARE(jobsOpened(), before);
}

QTEST_GUILESS_MAIN(tst_PrintJob)
#include "tst_printjob.moc"
