#include "escimagemanager.h"

#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QImage solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QImage throughPng(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QImage::fromData(png, "PNG");
}

// The dithering written out plainly, with one error per pixel, to hold the fast one to.
QByteArray referenceDither(QByteArray data, int w, int h)
{
    std::vector<int> error(size_t(w) * size_t(h), 0);
    const auto byteAt = [&](qint64 i) { return i < data.size() ? int(uchar(data.at(int(i)))) : 0; };
    for (int y = 0; y < h; ++y) {
        const int dir = (y % 2 == 0) ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = dir == 1 ? i : w - 1 - i;
            const qint64 o = (qint64(y) * w + x) * 4;
            const int l
                = int(std::trunc(0.2125 * byteAt(o) + 0.7154 * byteAt(o + 1) + 0.0721 * byteAt(o + 2)));
            int &e = error[size_t(y) * size_t(w) + size_t(x)];
            const int d = e + 255 - l;
            const char v = d < 255 ? char(255) : char(0);
            e = d < 255 ? d : d - 255;
            for (int k = 0; k < 3; ++k) {
                if (o + k < data.size())
                    data[int(o + k)] = v;
            }
            const int q = e / 16;
            const auto add = [&](int ax, int ay, int amount) {
                if (ax >= 0 && ax < w && ay < h)
                    error[size_t(ay) * size_t(w) + size_t(ax)] += amount;
            };
            add(x + dir, y, 7 * q);
            if (y + 1 < h) {
                add(x, y + 1, 5 * q);
                add(x - dir, y + 1, 3 * q);
                add(x + dir, y + 1, q);
            }
        }
    }
    return data;
}

int dotCount(const QByteArray &bytes)
{
    int dots = 0;
    for (const char c : bytes) {
        for (int bit = 0; bit < 8; ++bit)
            dots += (uchar(c) >> bit) & 1;
    }
    return dots;
}

QByteArray output(const QImage &image, int width, int height, bool high, int mode, bool compat)
{
    ESCImageManager manager;
    manager.setImage(image, width, height, high, mode, compat);
    return manager.getBytesToSend();
}

} // namespace

class TestESCImageManager : public QObject
{
    Q_OBJECT

private slots:
    void getBytesToSend_data();
    void getBytesToSend();
    void getImageBytes_data();
    void getImageBytes();
    void getMonoDot_data();
    void getMonoDot();
    void ditheringMatchesPlainAlgorithm_data();
    void ditheringMatchesPlainAlgorithm();
    void blackPrintsWithSparseWhiteDots();
    void bandCountsAndPartialBands_data();
    void bandCountsAndPartialBands();
    void widthBytes();
    void matchesPlainPipeline_data();
    void matchesPlainPipeline();
    void transparentAreasPrintWhite_data();
    void transparentAreasPrintWhite();
};

void TestESCImageManager::getBytesToSend_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("high");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("compat");
    QTest::addColumn<QByteArray>("bytes");

    const QImage white = solid(3, 2, Qt::white);
    const QImage black1 = solid(2, 1, Qt::black);
    const QImage black2 = solid(2, 2, Qt::black);
    QTest::newRow("3x2 white") << white << 3 << 2 << true << 0 << false
                               << hex("1D500000 1B3300 1B2A210300 000000 000000 000000 1B6400");
    QTest::newRow("2x1 black: first dot carries its error")
        << black1 << 2 << 1 << true << 0 << false << hex("1D500000 1B3300 1B2A210200 000000 800000 1B6400");
    QTest::newRow("2x2 black, serpentine")
        << black2 << 2 << 2 << true << 0 << false << hex("1D500000 1B3300 1B2A210200 400000 C00000 1B6400");
    QTest::newRow("low density") << black2 << 2 << 2 << false << 0 << false
                                 << hex("1D500000 1B3300 1B2A000200 40 C0 1B6400");
    QTest::newRow("compatibility framing")
        << black2 << 2 << 2 << true << 0 << true << hex("1D50CBCB 1B2A210200 400000 C00000 1B4A18");
    QTest::newRow("page mode") << black2 << 2 << 2 << true << 1 << false
                               << hex("1B4C 1B57 00000000 0200 0200 1D500000 1B3300 1B2A210200 400000 C00000 "
                                      "1B6400 0C");
    QTest::newRow("print mode 2: nothing") << black2 << 2 << 2 << true << 2 << false << QByteArray();
    QTest::newRow("print mode -1: nothing") << black2 << 2 << 2 << true << -1 << false << QByteArray();
    QTest::newRow("scaled up") << solid(1, 1, Qt::white) << 2 << 1 << true << 0 << false
                               << hex("1D500000 1B3300 1B2A210200 000000 000000 1B6400");
    QTest::newRow("null image") << QImage() << 0 << 0 << true << 0 << false << hex("1D500000 1B3300");
    QTest::newRow("null image, target given")
        << QImage() << 3 << 2 << true << 0 << false << hex("1D500000 1B3300");
    QTest::newRow("null image, page mode")
        << QImage() << 0 << 0 << true << 1 << false << hex("1B4C 1B57 00000000 0000 0000 1D500000 1B3300 0C");
    QTest::newRow("null image, compatibility") << QImage() << 0 << 0 << false << 0 << true << hex("1D50CBCB");
    QTest::newRow("zero height") << white << 3 << 0 << true << 0 << false << hex("1D500000 1B3300");
    QTest::newRow("zero width") << white << 0 << 2 << true << 0 << false
                                << hex("1D500000 1B3300 1B2A210000 1B6400");
    QTest::newRow("target too wide") << white << 8193 << 1 << true << 0 << false << hex("1D500000 1B3300");
    QTest::newRow("target too large")
        << white << 8192 << 8193 << true << 0 << false << hex("1D500000 1B3300");
    QTest::newRow("negative target") << white << -3 << 2 << true << 0 << false << hex("1D500000 1B3300");
}

void TestESCImageManager::getBytesToSend()
{
    QFETCH(QImage, image);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, high);
    QFETCH(int, mode);
    QFETCH(bool, compat);
    QFETCH(QByteArray, bytes);
    QCOMPARE(output(image, width, height, high, mode, compat).toHex(' '), bytes.toHex(' '));
}

void TestESCImageManager::getImageBytes_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QByteArray>("rgba");

    QTest::newRow("white") << QColor(Qt::white) << hex("FCFEFCFF");
    QTest::newRow("black") << QColor(Qt::black) << hex("040204FF");
    QTest::newRow("red") << QColor(Qt::red) << hex("FC0204FF");
    QTest::newRow("grey 128") << QColor(128, 128, 128) << hex("848284FF");
}

void TestESCImageManager::getImageBytes()
{
    QFETCH(QColor, colour);
    QFETCH(QByteArray, rgba);
    ESCImageManager manager;
    const QImage image = solid(2, 1, colour).convertToFormat(QImage::Format_RGB16);
    QCOMPARE(manager.getImageBytes(image).toHex(' '), (rgba + rgba).toHex(' '));
}

void TestESCImageManager::getMonoDot_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("dot");

    QTest::newRow("white") << 255 << 255 << 255 << 0;
    QTest::newRow("all 128") << 128 << 128 << 128 << 0;
    QTest::newRow("black") << 0 << 0 << 0 << 1;
    QTest::newRow("one channel 127") << 255 << 127 << 255 << 1;
    QTest::newRow("bits 7 in different channels") << 0x80 << 0x7F << 0xFF << 1;
}

void TestESCImageManager::getMonoDot()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(int, dot);
    QCOMPARE(ESCImageManager::getMonoDot(char(r), char(g), char(b)), dot);
}

void TestESCImageManager::ditheringMatchesPlainAlgorithm_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("dataBytes");

    QTest::newRow("1x1") << 1 << 1 << 4;
    QTest::newRow("7x5") << 7 << 5 << 7 * 5 * 4;
    QTest::newRow("33x26") << 33 << 26 << 33 * 26 * 4;
    QTest::newRow("64x49") << 64 << 49 << 64 * 49 * 4;
    QTest::newRow("short data reads as black") << 9 << 4 << 9 * 2 * 4 + 5;
}

void TestESCImageManager::ditheringMatchesPlainAlgorithm()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, dataBytes);
    QRandomGenerator random(quint32(width * 1000 + height));
    QByteArray data(dataBytes, Qt::Uninitialized);
    for (char &c : data)
        c = char(random.bounded(256));
    ESCImageManager manager;
    manager.setImage(solid(1, 1, Qt::white), width, height, true, 0, false);
    QCOMPARE(manager.floydSteinbergDithering(data).toHex(), referenceDither(data, width, height).toHex());
}

void TestESCImageManager::blackPrintsWithSparseWhiteDots()
{
    const QByteArray bytes = output(solid(24, 24, Qt::black), 24, 24, true, 0, false);
    QCOMPARE(bytes.size(), 7 + 5 + 24 * 3 + 3);
    const int dots = dotCount(bytes.mid(12, 24 * 3));
    QVERIFY2(dots < 24 * 24 && dots > 24 * 24 * 9 / 10, qPrintable(QString::number(dots)));
}

void TestESCImageManager::bandCountsAndPartialBands_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("high");
    QTest::addColumn<QByteArray>("bands");

    // Every pixel black after dithering: full bands are all dots, rows past the end none.
    QTest::newRow("24 high") << 24 << true << hex("1B2A210200 FFFFFF FFFFFF 1B6400");
    QTest::newRow("25 high: two bands")
        << 25 << true << hex("1B2A210200 FFFFFF FFFFFF 1B6400 1B2A210200 800000 800000 1B6400");
    QTest::newRow("8 low") << 8 << false << hex("1B2A000200 FF FF 1B6400");
    QTest::newRow("11 low: two bands")
        << 11 << false << hex("1B2A000200 FF FF 1B6400 1B2A000200 E0 E0 1B6400");
    QTest::newRow("1 high") << 1 << true << hex("1B2A210200 800000 800000 1B6400");
}

void TestESCImageManager::bandCountsAndPartialBands()
{
    QFETCH(int, height);
    QFETCH(bool, high);
    QFETCH(QByteArray, bands);
    ESCImageManager manager;
    manager.setImage(solid(1, 1, Qt::white), 2, height, high, 0, false);
    const QByteArray black(2 * height * 4, '\0');
    QCOMPARE(manager.makeMono(black).toHex(' '), (hex("1D500000 1B3300") + bands).toHex(' '));
    QByteArray compat = bands;
    compat.replace(hex("1B6400"), hex("1B4A18"));
    QCOMPARE(manager.makeMonoCompatibilityMode(black).toHex(' '), (hex("1D50CBCB") + compat).toHex(' '));
}

void TestESCImageManager::widthBytes()
{
    const QByteArray bytes = output(solid(300, 25, Qt::white), 300, 25, true, 1, false);
    QCOMPARE(bytes.left(12).toHex(' '), hex("1B4C 1B57 00000000 2C01 1900").toHex(' '));
    const int band = 5 + 300 * 3 + 3;
    QCOMPARE(bytes.size(), 12 + 7 + 2 * band + 1);
    QCOMPARE(bytes.mid(12 + 7, 5).toHex(' '), hex("1B2A212C01").toHex(' '));
    QCOMPARE(bytes.mid(12 + 7 + band, 5).toHex(' '), hex("1B2A212C01").toHex(' '));
    QCOMPARE(bytes.mid(12 + 7 + 5, 900), QByteArray(900, '\0'));
}

void TestESCImageManager::matchesPlainPipeline_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("opaque");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("high");
    QTest::addColumn<bool>("compat");

    const QList<QImage::Format> formats
        = { QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
              QImage::Format_RGB888, QImage::Format_Grayscale8, QImage::Format_Indexed8, QImage::Format_Mono,
              QImage::Format_RGBA8888, QImage::Format_RGB16, QImage::Format_RGBA64 };
    for (const QImage::Format format : formats) {
        const QByteArray name = "format " + QByteArray::number(int(format));
        QTest::newRow(name + ", own size") << int(format) << false << 40 << 30 << true << false;
        QTest::newRow(name + ", opaque") << int(format) << true << 40 << 30 << true << false;
        QTest::newRow(name + ", scaled, low density, compatibility")
            << int(format) << false << 25 << 47 << false << true;
        QTest::newRow(name + ", scaled up") << int(format) << false << 61 << 50 << true << true;
    }
}

void TestESCImageManager::matchesPlainPipeline()
{
    QFETCH(int, format);
    QFETCH(bool, opaque);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, high);
    QFETCH(bool, compat);
    QRandomGenerator random { quint32(format) };
    QImage source(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, random.generate() | (opaque ? 0xFF000000 : 0));
    }
    const QImage image = source.convertToFormat(QImage::Format(format));

    // Every step as plainly as it can be written with Qt.
    ESCImageManager manager;
    manager.setImage(image, width, height, high, 0, compat);
    const QImage scaled = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const bool palette = scaled.format() == QImage::Format_Indexed8 || scaled.format() == QImage::Format_Mono;
    QImage canvas(scaled.size(), palette ? QImage::Format_RGB32 : scaled.format());
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, scaled);
    painter.end();
    const QByteArray rgba = manager.floydSteinbergDithering(
        manager.getImageBytes(canvas.convertToFormat(QImage::Format_RGB16)));
    const QByteArray expected = compat ? manager.makeMonoCompatibilityMode(rgba) : manager.makeMono(rgba);

    QCOMPARE(manager.getBytesToSend().toHex(), expected.toHex());
}

void TestESCImageManager::transparentAreasPrintWhite_data()
{
    QTest::addColumn<bool>("palette");
    QTest::newRow("RGBA") << false;
    QTest::newRow("palette with transparency") << true;
}

void TestESCImageManager::transparentAreasPrintWhite()
{
    QFETCH(bool, palette);
    // Left half transparent black, right half opaque black.
    QImage image(16, 24, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.fillRect(8, 0, 8, 24, Qt::black);
    }
    if (palette)
        image = image.convertToFormat(QImage::Format_Indexed8);
    const QImage png = throughPng(image);
    QCOMPARE(png.format(), palette ? QImage::Format_Indexed8 : QImage::Format_ARGB32);
    const QByteArray bytes = output(png, 16, 24, true, 0, false);
    const QByteArray columns = bytes.mid(12, 16 * 3);
    QCOMPARE(columns.left(8 * 3), QByteArray(8 * 3, '\0'));
    QVERIFY(dotCount(columns.mid(8 * 3)) > 8 * 24 * 9 / 10);
}

QTEST_GUILESS_MAIN(TestESCImageManager)
#include "tst_escimagemanager.moc"
