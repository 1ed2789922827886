#include "escimagemanager.h"
#include "memorysocket.h"
#include "printjob.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QPainter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const char nullImage[] = "1D500000 1B3300";

QByteArray png(const QImage &image, const char *format = "PNG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// An image whose PNG does not compress well.
QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate());
    }
    return image;
}

QJsonArray parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        qFatal("bad test job: %s", json.constData());
    return document.array();
}

QByteArray imageCommand(const QByteArray &data)
{
    return "{\"op\":\"image\",\"data\":\"" + data + "\"}";
}

// A tiny HTTP server on 127.0.0.1 with canned raw responses; paths it does not know get none.
// The connection is closed after a response that says so and left open otherwise.
class HttpServer
{
public:
    HttpServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    QByteArray &request = pending[socket];
                    request += socket->readAll();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    const QByteArray path = request.split(' ').value(1);
                    ++hits[path];
                    if (responses.contains(path)) {
                        const QByteArray response = responses.value(path);
                        socket->write(response);
                        if (response.contains("Connection: close"))
                            socket->disconnectFromHost();
                    }
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QByteArray url(const char *path) const
    {
        return "http://127.0.0.1:" + QByteArray::number(server.serverPort()) + path;
    }

    static QByteArray response(
        const QByteArray &status, const QByteArray &body, const QByteArray &headers = QByteArray())
    {
        return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
    }

    QTcpServer server;
    QMap<QByteArray, QByteArray> responses;
    QMap<QByteArray, int> hits;
    QMap<QTcpSocket *, QByteArray> pending;
};

} // namespace

class TestPrintJob : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void lineWidths_data();
    void lineWidths();
    void inlineImages_data();
    void inlineImages();
    void imageSizeLimits_data();
    void imageSizeLimits();
    void httpImages_data();
    void httpImages();
    void deviceFailures_data();
    void deviceFailures();
    void invalidSymbols_data();
    void invalidSymbols();

private:
    QByteArray run(
        const QByteArray &json, bool compat = false, MemorySocket *socket = nullptr, bool *result = nullptr);
    QByteArray imageBytes(const QImage &image);
};

QByteArray TestPrintJob::run(const QByteArray &json, bool compat, MemorySocket *socket, bool *result)
{
    MemorySocket *device = socket ? socket : new MemorySocket;
    PrintJob job(parse(json), QStringLiteral("receipt"), compat, device);
    const bool ok = job.execute();
    if (result)
        *result = ok;
    const QByteArray written = device->written;
    if (socket)
        socket->setParent(nullptr);
    return written;
}

// What the image manager alone makes of an image at its own size, in print mode 0.
QByteArray TestPrintJob::imageBytes(const QImage &image)
{
    return run("[" + imageCommand(png(image).toBase64()) + "]", true);
}

void TestPrintJob::commands_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<bool>("compat");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray image = imageCommand("x");
    QTest::newRow("empty job") << QByteArray("[]") << false << hex("1B40");
    QTest::newRow("empty job, compatibility") << QByteArray("[]") << true << QByteArray();
    QTest::newRow("alignment sent once")
        << QByteArray(R"([{"op":"alignment","data":1},{"op":"alignment","data":1}])") << false
        << hex("1B40 1B6101");
    QTest::newRow("alignment again after an image")
        << QByteArray(R"([{"op":"alignment","data":1},)" + image + R"(,{"op":"alignment","data":1}])")
        << false << hex("1B40 1B6101") + hex(nullImage) + hex("1B40 1B6101");
    QTest::newRow("alignment kept after an image, compatibility")
        << QByteArray(R"([{"op":"alignment","data":1},)" + image + R"(,{"op":"alignment","data":1}])") << true
        << hex("1B6101 1D50CBCB");
    QTest::newRow("alignment 7 is left")
        << QByteArray(R"([{"op":"alignment","data":7}])") << false << hex("1B40 1B6100");
    QTest::newRow("alignment fraction is left")
        << QByteArray(R"([{"op":"alignment","data":2},{"op":"alignment","data":0.5}])") << false
        << hex("1B40 1B6102 1B6100");
    QTest::newRow("alignment text is left")
        << QByteArray(R"([{"op":"alignment","data":"2"}])") << false << hex("1B40 1B6100");
    QTest::newRow("pulse clamped") << QByteArray(R"([{"op":"pulse","data":{"drawer":1,"pulse":300}}])")
                                   << false << hex("1B40 1B700132FA");
    QTest::newRow("pulse other drawer")
        << QByteArray(R"([{"op":"pulse","data":{"drawer":5}}])") << false << hex("1B40 1B700032FA");
    QTest::newRow("pulse limits") << QByteArray(R"([{"op":"pulse","data":{"drawer":-1,"pulse":250}}])")
                                  << false << hex("1B40 1B7000FAFA");
    QTest::newRow("pulse fractions take defaults")
        << QByteArray(R"([{"op":"pulse","data":{"drawer":1.5,"pulse":100.5}}])") << false
        << hex("1B40 1B700032FA");
    QTest::newRow("pulse not an object")
        << QByteArray(R"([{"op":"pulse","data":1}])") << false << hex("1B40");
    QTest::newRow("cut without feed")
        << QByteArray(R"([{"op":"cut","data":"no_feed"}])") << false << hex("1B40 1D5631");
    QTest::newRow("cut with feed") << QByteArray(R"([{"op":"cut","data":"feed"}])") << false
                                   << hex("1B40 1D56420A");
    QTest::newRow("cut any other text")
        << QByteArray(R"([{"op":"cut","data":"x"}])") << false << hex("1B40 1D56420A");
    QTest::newRow("cut not a string") << QByteArray(R"([{"op":"cut","data":true}])") << false << hex("1B40");
    QTest::newRow("settings without cutter and drawer")
        << QByteArray(R"([{"op":"settings","data":{}},{"op":"cut","data":"feed"},{"op":"pulse","data":{}}])")
        << false << hex("1B40");
    QTest::newRow("settings with cutter") << QByteArray(
        R"([{"op":"settings","data":{"hasCutter":true}},{"op":"cut","data":"no_feed"},{"op":"pulse","data":{}}])")
                                          << false << hex("1B40 1D5631");
    QTest::newRow("settings of the wrong type take defaults") << QByteArray(
        R"([{"op":"settings","data":{"hasCutter":"yes","hasDrawer":1}},{"op":"cut","data":"x"},{"op":"pulse","data":{}}])")
                                                              << false << hex("1B40");
    QTest::newRow("settings not an object is skipped")
        << QByteArray(R"([{"op":"settings","data":[]},{"op":"cut","data":"no_feed"}])") << false
        << hex("1B40 1D5631");
    QTest::newRow("emphasis then double width") << QByteArray(
        R"([{"op":"style","data":{"emphasized":true}},{"op":"double","data":{"width":true}},{"op":"double","data":{"width":true}}])")
                                                << false << hex("1B40 1B2108 1B2128");
    QTest::newRow("every style bit") << QByteArray(
        R"([{"op":"style","data":{"emphasized":true,"underlined":true}},{"op":"double","data":{"height":true,"width":true}},{"op":"condensed","data":true}])")
                                     << false << hex("1B40 1B2188 1B21B8 1B21B9");
    QTest::newRow("unchanged style sends nothing")
        << QByteArray(R"([{"op":"style","data":{"emphasized":false}},{"op":"double","data":{"height":0}}])")
        << false << hex("1B40");
    QTest::newRow("condensed that is not a bool is off")
        << QByteArray(R"([{"op":"condensed","data":true},{"op":"condensed","data":"yes"}])") << false
        << hex("1B40 1B2101 1B2100");
    QTest::newRow("style again after an image")
        << QByteArray(R"([{"op":"style","data":{"emphasized":true}},)" + image
               + R"(,{"op":"style","data":{"emphasized":true}}])")
        << false << hex("1B40 1B2108") + hex(nullImage) + hex("1B40 1B2108");
    QTest::newRow("text") << QByteArray(R"([{"op":"text","data":"Olá €\n"}])") << false
                          << hex("1B40 1B7400 4F6CA0 20 1B7410801B7400 0A");
    QTest::newRow("text, alternative charset") << QByteArray(
        R"([{"op":"settings","data":{"alternativeCharset":true}},{"op":"text","data":"Olá €"}])")
                                               << false << hex("1B40 1B7400 4F6CA0 20 1B7413D51B7400");
    QTest::newRow("text, folded") << QByteArray(
        R"([{"op":"settings","data":{"replaceAccentedChars":true}},{"op":"text","data":"Olá €"}])")
                                  << false << hex("1B40 1B7400 4F6C61 2020");
    QTest::newRow("no line feed added")
        << QByteArray(R"([{"op":"text","data":"a"},{"op":"text","data":"b"}])") << false
        << hex("1B40 1B740061 1B740062");
    QTest::newRow("empty text") << QByteArray(R"([{"op":"text","data":""}])") << false << hex("1B40 1B7400");
    QTest::newRow("text not a string") << QByteArray(R"([{"op":"text","data":5}])") << false << hex("1B40");
    QTest::newRow("malformed elements skipped") << QByteArray(
        R"([1,"x",null,[],{},{"op":5},{"op":"Text","data":"a"},{"op":"bogus","data":1},{"data":"a"},{"op":"image"}])")
                                                << false << hex("1B40");
    QTest::newRow("compatibility never resets")
        << QByteArray("[" + image + R"(,{"op":"text","data":"a"}])") << true << hex("1D50CBCB 1B740061");
    QTest::newRow("print mode 2 prints no image")
        << QByteArray(R"([{"op":"settings","data":{"imagePrintMode":2}},)" + image + "]") << false
        << hex("1B40 1B40");
    const QByteArray qrAB = "1D286B04003141 3200 1D286B030031 43";
    QTest::newRow("qrcode native, defaults")
        << QByteArray(R"([{"op":"qrcode","data":{"text":"AB"}}])") << false
        << hex("1B40 1B4A18") + hex(qrAB)
            + hex("06 1D286B0300314531 1D286B0500315030 4142 1D286B0300315130 1B4A18");
    QTest::newRow("qrcode, widthMm chooses the size") << QByteArray(
        R"([{"op":"qrcode","data":{"text":"AB","widthMm":10,"ecc":"H","size":9,"mode":"native"}}])")
                                                      << false
                                                      << hex("1B40 1B4A0C") + hex(qrAB)
            + hex("03 1D286B0300314533 1D286B0500315030 4142 1D286B0300315130 1B4A0C");
    // The bands of compatibility mode, framed as outside it, between the reset and the restored state.
    const QByteArray qrImage = R"({"op":"qrcode","data":{"text":"1","mode":"image","size":1}})";
    const QByteArray bands = run("[" + qrImage + "]", true).mid(4, 2 * (5 + 29 * 3 + 3));
    QTest::newRow("qrcode image, alignment and style kept") << QByteArray(
        R"([{"op":"alignment","data":1},{"op":"style","data":{"emphasized":true}},)" + qrImage + "]")
                                                            << false
                                                            << hex("1B40 1B6101 1B2108 1D500000 1B3300")
            + QByteArray(bands).replace(hex("1B4A18"), hex("1B6400")) + hex("1B40 1B6101 1B2108");
    QTest::newRow("barcode ean13, check digit computed, defaults")
        << QByteArray(R"([{"op":"barcode","data":{"type":"ean13","text":"590123412345"}}])") << false
        << hex("1B40 1D6850 1D7703 1D4802 1D6B430D") + "5901234123457";
    QTest::newRow("barcode upca, check digit given, text above and below") << QByteArray(
        R"([{"op":"barcode","data":{"type":"upca","text":"036000291452","hri":"both","height":1,"width":2}}])")
                                                                           << false
                                                                           << hex("1B40 1D6801 1D7702 1D4803 "
                                                                                  "1D6B410C")
            + "036000291452";
    QTest::newRow("barcode code128, code sets B and C")
        << QByteArray(
               R"([{"op":"barcode","data":{"type":"code128","text":"12345{6789012Y12","hri":"none"}}])")
        << false << hex("1B40 1D6850 1D7703 1D4800 1D6B4914 7B430C22 7B42357B7B36 7B434E5A0C 7B42593132");
    QTest::newRow("barcode code39 and itf as given") << QByteArray(
        R"([{"op":"barcode","data":{"type":"code39","text":"A-1 $","hri":"above"}},{"op":"barcode","data":{"type":"itf","text":"0123"}}])")
                                                     << false
                                                     << hex("1B40 1D6850 1D7703 1D4801 1D6B4505") + "A-1 $"
            + hex("1D6850 1D7703 1D4802 1D6B4604") + "0123";
    QTest::newRow("print mode 1 wraps in page mode")
        << QByteArray(R"([{"op":"settings","data":{"imagePrintMode":1}},)" + image + "]") << false
        << hex("1B40 1B4C1B570000000000000000") + hex(nullImage) + hex("0C 1B40");
}

void TestPrintJob::commands()
{
    QFETCH(QByteArray, job);
    QFETCH(bool, compat);
    QFETCH(QByteArray, bytes);
    bool ok = false;
    QCOMPARE(run(job, compat, nullptr, &ok).toHex(' '), bytes.toHex(' '));
    QVERIFY(ok);
}

void TestPrintJob::lineWidths_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("width");

    const QByteArray condensed = R"({"op":"condensed","data":true},)";
    const QByteArray doubled = R"({"op":"double","data":{"width":true}},)";
    QTest::newRow("normal") << QByteArray() << 48;
    QTest::newRow("condensed") << condensed << 64;
    QTest::newRow("condensed, double width") << condensed + doubled << 32;
    QTest::newRow("double width") << doubled << 24;
    QTest::newRow("double height only") << QByteArray(R"({"op":"double","data":{"height":true}},)") << 48;
    QTest::newRow("set width") << QByteArray(R"({"op":"settings","data":{"normalLineWidth":30}},)") << 30;
    QTest::newRow("set condensed width")
        << QByteArray(R"({"op":"settings","data":{"condensedLineWidth":40}},)") + condensed << 40;
    QTest::newRow("width as text takes the default")
        << QByteArray(R"({"op":"settings","data":{"normalLineWidth":"30"}},)") << 48;
    QTest::newRow("width beyond int takes the default")
        << QByteArray(R"({"op":"settings","data":{"normalLineWidth":1e10}},)") << 48;
    QTest::newRow("3 halved") << QByteArray(R"({"op":"settings","data":{"normalLineWidth":3}},)") + doubled
                              << 1;
    QTest::newRow("width 0: unwrapped")
        << QByteArray(R"({"op":"settings","data":{"normalLineWidth":0}},)") << 0;
    QTest::newRow("negative width: unwrapped")
        << QByteArray(R"({"op":"settings","data":{"normalLineWidth":-5}},)") << 0;
    QTest::newRow("1 halved: unwrapped")
        << QByteArray(R"({"op":"settings","data":{"normalLineWidth":1}},)") + doubled << 0;
}

void TestPrintJob::lineWidths()
{
    QFETCH(QByteArray, before);
    QFETCH(int, width);
    const QByteArray text(70, 'a');
    QByteArray lines = text;
    if (width > 0) {
        lines.clear();
        for (int i = 0; i < text.size(); i += width)
            lines += (i ? "\n" : "") + text.mid(i, width);
    }
    const QByteArray bytes = run("[" + before + R"({"op":"text","data":")" + text + "\"}]");
    QVERIFY(bytes.endsWith(hex("1B7400") + lines));
}

void TestPrintJob::inlineImages_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray white = png(filled(3, 2, Qt::white)).toBase64();
    const QByteArray whiteBand = hex("1D500000 1B3300 1B2A210300 000000000000000000 1B6400");
    QTest::newRow("3x2 Base64") << "[" + imageCommand(white) + "]" << hex("1B40") + whiteBand + hex("1B40");
    QTest::newRow("data URI") << "[" + imageCommand("data:image/png;base64," + white) + "]"
                              << hex("1B40") + whiteBand + hex("1B40");
    QTest::newRow("compatibility framing")
        << "[" + imageCommand(white) + "]" << hex("1D50CBCB 1B2A210300 000000000000000000 1B4A18");
    const QByteArray lowDensity = R"({"op":"settings","data":{"lowDensity":true}},)";
    QTest::newRow("low density: half width, third height")
        << "[" + lowDensity + imageCommand(png(filled(7, 7, Qt::white)).toBase64()) + "]"
        << hex("1B40 1D500000 1B3300 1B2A000300 000000 1B6400 1B40");
    QTest::newRow("low density: one pixel wide")
        << "[" + lowDensity + imageCommand(png(filled(1, 9, Qt::white)).toBase64()) + "]"
        << hex("1B40 1D500000 1B3300 1B2A000000 1B6400 1B40");
    QTest::newRow("not PNG") << "[" + imageCommand(png(filled(3, 2, Qt::white), "BMP").toBase64()) + "]"
                             << hex("1B40") + hex(nullImage) + hex("1B40");
    QTest::newRow("not Base64") << "[" + imageCommand("@@@@") + "]"
                                << hex("1B40") + hex(nullImage) + hex("1B40");
    QTest::newRow("empty") << "[" + imageCommand("") + "]" << hex("1B40") + hex(nullImage) + hex("1B40");
}

void TestPrintJob::inlineImages()
{
    QFETCH(QByteArray, job);
    QFETCH(QByteArray, bytes);
    const bool compat = QByteArray(QTest::currentDataTag()).startsWith("compatibility");
    QCOMPARE(run(job, compat).toHex(' '), bytes.toHex(' '));
}

void TestPrintJob::imageSizeLimits_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<bool>("printed");

    QTest::newRow("8192 wide") << filled(8192, 1, Qt::white) << ESCImageManager::maxBufferBytes << true;
    QTest::newRow("8193 wide") << filled(8193, 1, Qt::white) << ESCImageManager::maxBufferBytes << false;
    QTest::newRow("8193 high") << filled(1, 8193, Qt::white) << ESCImageManager::maxBufferBytes << false;
    QTest::newRow("within the byte bound") << filled(15, 15, Qt::white) << qint64(1000) << true;
    QTest::newRow("beyond the byte bound") << filled(16, 16, Qt::white) << qint64(1000) << false;
    QTest::newRow("16-bit channels count double")
        << filled(11, 11, Qt::white).convertToFormat(QImage::Format_RGBA64) << qint64(11 * 11 * 4) << false;
}

void TestPrintJob::imageSizeLimits()
{
    QFETCH(QImage, image);
    QFETCH(qint64, maxBytes);
    QFETCH(bool, printed);
    auto *device = new MemorySocket;
    PrintJob job(
        parse("[" + imageCommand(png(image).toBase64()) + "]"), QStringLiteral("receipt"), true, device);
    job.setImageSizeLimits(ESCImageManager::maxSide, maxBytes);
    QVERIFY(job.execute());
    if (printed)
        QCOMPARE(device->written.mid(4, 5).toHex(' '),
            (hex("1B2A21") + char(image.width() & 0xFF) + char(image.width() / 256)).toHex(' '));
    else
        QCOMPARE(device->written.toHex(' '), hex("1D50CBCB").toHex(' '));
}

void TestPrintJob::httpImages_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("printed");

    // Cases that must end before a long time-out use one the test would not survive waiting for.
    QTest::newRow("200") << QByteArray("/logo.png") << 20000 << true;
    QTest::newRow("redirect") << QByteArray("/redirect") << 20000 << true;
    QTest::newRow("404 with an image body") << QByteArray("/missing") << 20000 << false;
    QTest::newRow("500") << QByteArray("/error") << 20000 << false;
    QTest::newRow("not an image") << QByteArray("/text") << 20000 << false;
    QTest::newRow("body over the size bound") << QByteArray("/big") << 20000 << false;
    QTest::newRow("undeclared body over the size bound") << QByteArray("/streamed-big") << 20000 << false;
    QTest::newRow("declared over the size bound") << QByteArray("/declared-big") << 20000 << false;
    QTest::newRow("no answer: time-out") << QByteArray("/silent") << 300 << false;
    QTest::newRow("connection refused") << QByteArray() << 20000 << false;
}

void TestPrintJob::httpImages()
{
    QFETCH(QByteArray, path);
    QFETCH(int, timeoutMs);
    QFETCH(bool, printed);

    const QImage logo = noise(20, 10);
    const QByteArray logoPng = png(logo);
    QVERIFY(logoPng.size() < 1000);
    HttpServer server;
    server.responses["/logo.png"] = HttpServer::response("200 OK", logoPng, "Content-Type: image/png\r\n");
    server.responses["/redirect"] = HttpServer::response("302 Found", "", "Location: /logo.png\r\n");
    server.responses["/missing"] = HttpServer::response("404 Not Found", logoPng);
    server.responses["/error"] = HttpServer::response("500 Internal Server Error", "");
    server.responses["/text"] = HttpServer::response("200 OK", "hello", "Content-Type: text/plain\r\n");
    server.responses["/big"] = HttpServer::response("200 OK", png(noise(40, 40)));
    server.responses["/streamed-big"] = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + png(noise(40, 40));
    server.responses["/declared-big"] = "HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n" + logoPng;

    QByteArray url = server.url(path);
    if (path.isEmpty()) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        url = "http://127.0.0.1:" + QByteArray::number(closed.serverPort()) + "/x";
    }
    auto *device = new MemorySocket;
    PrintJob job(parse("[" + imageCommand(url) + "]"), QStringLiteral("receipt"), true, device);
    job.setImageFetchLimits(timeoutMs, 1000);
    QVERIFY(job.execute());
    QCOMPARE(device->written.toHex(' '), (printed ? imageBytes(logo) : hex("1D50CBCB")).toHex(' '));
    if (!path.isEmpty() && path != "/redirect")
        QCOMPARE(server.hits.value(path), 1);
}

void TestPrintJob::deviceFailures_data()
{
    QTest::addColumn<bool>("refuseConnect");
    QTest::addColumn<bool>("refuseStart");
    QTest::addColumn<qint64>("acceptBytes");
    QTest::addColumn<bool>("refuseEnd");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("ends");

    const QByteArray all = hex("1B40 1B740061 1D56420A");
    QTest::newRow("all accepted") << false << false << qint64(-1) << false << true << all << 1;
    QTest::newRow("printer unreachable")
        << true << false << qint64(-1) << false << false << QByteArray() << 0;
    QTest::newRow("job refused") << false << true << qint64(-1) << false << false << QByteArray() << 0;
    QTest::newRow("data refused midway") << false << false << qint64(5) << false << false << hex("1B40") << 1;
    QTest::newRow("document refused at the end") << false << false << qint64(-1) << true << false << all << 1;
}

void TestPrintJob::deviceFailures()
{
    QFETCH(bool, refuseConnect);
    QFETCH(bool, refuseStart);
    QFETCH(qint64, acceptBytes);
    QFETCH(bool, refuseEnd);
    QFETCH(bool, result);
    QFETCH(QByteArray, bytes);
    QFETCH(int, ends);
    MemorySocket device;
    device.refuseConnect = refuseConnect;
    device.refuseStart = refuseStart;
    device.acceptBytes = acceptBytes;
    device.refuseEnd = refuseEnd;
    bool ok = !result;
    QCOMPARE(run(R"([{"op":"text","data":"a"},{"op":"cut","data":"feed"}])", false, &device, &ok).toHex(' '),
        bytes.toHex(' '));
    QCOMPARE(ok, result);
    QCOMPARE(device.printerName, QStringLiteral("receipt"));
    QCOMPARE(device.ends, ends);
}

// A bad symbol fails the whole job before the printer is asked for it, naming where and what.
void TestPrintJob::invalidSymbols_data()
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
        { "barcode", R"({"type":"code128","text":"123456789012345678901234567A"})", "dots wide" } };
    for (const auto &row : rows)
        QTest::newRow(row[2]) << QByteArray(R"([{"op":"text","data":"a"},{"op":")") + row[0] + R"(","data":)"
                + row[1]
                + "}]" << QString::fromUtf8(row[2]);
    QTest::newRow("text longer than a code holds")
        << QByteArray(R"([{"op":"settings","data":{}},{"op":"qrcode","data":{"text":")")
            + QByteArray(1300, 'x') + R"(","ecc":"H"}}])"
        << QStringLiteral("1300 bytes");
}

void TestPrintJob::invalidSymbols()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, named);
    auto *device = new MemorySocket;
    PrintJob job(parse(data), QStringLiteral("receipt"), false, device);
    QVERIFY(!job.execute());
    QCOMPARE(device->starts, 0);
    QVERIFY(device->written.isEmpty());
    QVERIFY2(job.errorString().startsWith(QLatin1String("job[1] ")) && job.errorString().contains(named),
        qPrintable(job.errorString()));
}

QTEST_GUILESS_MAIN(TestPrintJob)
#include "tst_printjob.moc"
