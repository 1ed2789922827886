// The product's raster path against the steps written out plainly from their description: scale,
// flatten onto white, 5-6-5, serpentine Floyd-Steinberg with one error per pixel, bit-image bands.
#include "escimagemanager.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray le16(int value)
{
    return QByteArray(1, char(value & 0xFF)) + char(value / 256);
}

// RGBA bytes in, every pixel 0 or 255 out.
QByteArray dither(QByteArray data, int w, int h)
{
    std::vector<int> error(size_t(w) * size_t(h), 0);
    const auto at = [&](qint64 i) { return int(uchar(data.at(int(i)))); };
    for (int y = 0; y < h; ++y) {
        const int dir = y % 2 == 0 ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = dir == 1 ? i : w - 1 - i;
            const qint64 o = (qint64(y) * w + x) * 4;
            const int l = int(std::trunc(0.2125 * at(o) + 0.7154 * at(o + 1) + 0.0721 * at(o + 2)));
            int &e = error[size_t(y) * size_t(w) + size_t(x)];
            const int d = e + 255 - l;
            e = d < 255 ? d : d - 255;
            for (qint64 k = o; k < o + 3; ++k)
                data[int(k)] = d < 255 ? char(255) : char(0);
            const auto add = [&](int ax, int ay, int amount) {
                if (ax >= 0 && ax < w && ay < h)
                    error[size_t(ay) * size_t(w) + size_t(ax)] += amount;
            };
            add(x + dir, y, 7 * (e / 16));
            add(x, y + 1, 5 * (e / 16));
            add(x - dir, y + 1, 3 * (e / 16));
            add(x + dir, y + 1, e / 16);
        }
    }
    return data;
}

QByteArray rasterise(const QImage &image, int w, int h, bool high, int mode, bool compat)
{
    const QImage scaled = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // QPainter cannot draw on palette or 1-bit images: those are flattened in 32-bit colour.
    const bool palette = scaled.format() == QImage::Format_Indexed8 || scaled.format() == QImage::Format_Mono;
    QImage canvas(scaled.size(), palette ? QImage::Format_RGB32 : scaled.format());
    canvas.fill(Qt::white);
    QPainter(&canvas).drawImage(0, 0, scaled);
    canvas = canvas.convertToFormat(QImage::Format_RGB16);
    QByteArray rgba;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const quint16 p = reinterpret_cast<const quint16 *>(canvas.constScanLine(y))[x];
            rgba += char((p >> 11) << 3 | 4) + QByteArray(1, char(((p >> 5) & 0x3F) << 2 | 2))
                + char((p & 0x1F) << 3 | 4) + char(255);
        }
    }
    rgba = dither(rgba, w, h);
    const int band = high ? 24 : 8;
    QByteArray out = compat ? hex("1d50cbcb") : hex("1d5000001b3300");
    for (int y0 = 0; y0 < h; y0 += band) {
        out += hex("1b2a") + char(high ? 0x21 : 0) + le16(w);
        for (int x = 0; x < w; ++x) {
            for (int byte = 0; byte < band / 8; ++byte) {
                int dots = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const int y = y0 + byte * 8 + bit;
                    const bool dot
                        = y < h && !(rgba.at((y * w + x) * 4) & rgba.at((y * w + x) * 4 + 1) & 0x80);
                    dots |= dot << (7 - bit);
                }
                out += char(dots);
            }
        }
        out += compat ? hex("1b4a18") : hex("1b6400");
    }
    return mode == 1 ? hex("1b4c1b5700000000") + le16(w) + le16(h) + out + '\x0c' : out;
}

} // namespace

class tst_ESCImageManager : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheSteps_data();
    void matchesTheSteps();
};

void tst_ESCImageManager::matchesTheSteps_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("high");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("compat");

    QTest::newRow("translucent ARGB32") << int(QImage::Format_ARGB32) << QSize(40, 30) << true << 0 << false;
    QTest::newRow("premultiplied, scaled, low density, compatibility")
        << int(QImage::Format_ARGB32_Premultiplied) << QSize(25, 47) << false << 0 << true;
    QTest::newRow("RGB32 300 wide in two bands, page mode")
        << int(QImage::Format_RGB32) << QSize(300, 25) << true << 1 << false;
    QTest::newRow("palette with transparency")
        << int(QImage::Format_Indexed8) << QSize(40, 30) << true << 0 << false;
    QTest::newRow("one bit, scaled up") << int(QImage::Format_Mono) << QSize(61, 50) << true << 0 << false;
    QTest::newRow("grey") << int(QImage::Format_Grayscale8) << QSize(40, 30) << false << 1 << true;
    QTest::newRow("16-bit channels") << int(QImage::Format_RGBA64) << QSize(40, 30) << true << 0 << false;
    // Scaled smooth across a printer's full width, not a multiple of eight dots.
    QTest::newRow("opaque, a receipt wide")
        << int(QImage::Format_RGB32) << QSize(573, 60) << true << 0 << false;
}

void tst_ESCImageManager::matchesTheSteps()
{
    QFETCH(int, format);
    QFETCH(QSize, target);
    QFETCH(bool, high);
    QFETCH(int, mode);
    QFETCH(bool, compat);
    // Noise with random transparency: every pixel takes another path through the dithering.
    QRandomGenerator random { quint32(format) };
    QImage source(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, random.generate());
    }
    const QImage image = source.convertToFormat(QImage::Format(format));
    ESCImageManager manager;
    manager.setImage(image, target.width(), target.height(), high, mode, compat);
    QCOMPARE(manager.bytes().toHex(' '),
        rasterise(image, target.width(), target.height(), high, mode, compat).toHex(' '));
}

QTEST_GUILESS_MAIN(tst_ESCImageManager)
#include "tst_escimagemanager.moc"
