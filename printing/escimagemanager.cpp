#include "escimagemanager.h"

#include <QPainter>

#include <array>
#include <vector>

namespace {

int bandHeight(bool highDensity)
{
    return highDensity ? 24 : 8;
}

// QPainter cannot draw onto palette or one-bit images; those are flattened in 32-bit colour.
bool paintable(QImage::Format format)
{
    return format != QImage::Format_Indexed8 && format != QImage::Format_Mono
        && format != QImage::Format_MonoLSB;
}

// The luminance (0 dark to 255 light) of each RGB16 pixel, its channels widened to bytes with
// their middle bit set.
const std::array<uchar, 0x10000> &levels565()
{
    static const std::array<uchar, 0x10000> levels = [] {
        std::array<uchar, 0x10000> table {};
        for (int p = 0; p < 0x10000; ++p) {
            const double r = 0.2125 * ((p >> 11) << 3 | 4);
            const double g = 0.7154 * (((p >> 5) & 0x3F) << 2 | 2);
            const double b = 0.0721 * ((p & 0x1F) << 3 | 4);
            table[size_t(p)] = uchar(int(r + g + b));
        }
        return table;
    }();
    return levels;
}

// One row of serpentine Floyd–Steinberg, walked in the direction of step: error holds the error
// each pixel inherits from the row above (with a spare entry either side) and leaves with what
// the row below inherits; dot gets 1 for every black pixel.
template<int step> void ditherRow(const quint16 *pixels, int w, qint32 *error, uchar *dot)
{
    const uchar *level = levels565().data();
    // The shares for the next pixel and for the row below stay in registers: an entry of the row
    // below is written once, when the pixel above it and both its neighbours are done.
    qint32 ahead = 0;
    qint32 behind = 0;
    qint32 last = 0;
    int x = step > 0 ? 0 : w - 1;
    for (int i = 0; i < w; ++i, x += step) {
        // What does not depend on the pixel before first, so that the chain from pixel to pixel is short.
        const qint32 inherited = error[x] + 255 - level[pixels[x]];
        const qint32 e = inherited + ahead;
        // A conditional move: the dot pattern is close to random, so a branch would mostly mispredict.
        const bool black = e >= 255;
        dot[x] = black;
        // Never negative, so the shift divides by 16.
        const qint32 q = (black ? e - 255 : e) >> 4;
        ahead = 7 * q;
        error[x - step] = behind + 5 * last + 3 * q;
        behind = last;
        last = q;
    }
    error[x - step] = behind + 5 * last;
}

// Whether every pixel is opaque; only 32-bit images are scanned, others with alpha count as not.
bool opaque(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return true;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const int w = image.width();
    const int h = image.height();
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) != 255)
                return false;
        }
    }
    return true;
}

const QByteArray &bandHeader(bool compatibilityMode)
{
    static const QByteArray normal = QByteArray::fromHex("1d5000001b3300");
    static const QByteArray compatible = QByteArray::fromHex("1d50cbcb");
    return compatibilityMode ? compatible : normal;
}

const QByteArray &bandTrailer(bool compatibilityMode)
{
    static const QByteArray normal = QByteArray::fromHex("1b6400");
    static const QByteArray compatible = QByteArray::fromHex("1b4a18");
    return compatibilityMode ? compatible : normal;
}

} // namespace

void ESCImageManager::setImage(
    QImage image, int width, int height, bool highDensity, int printMode, bool compatibilityMode)
{
    m_image = image;
    m_width = width;
    m_height = height;
    m_highDensity = highDensity;
    m_printMode = printMode;
    m_compatibilityMode = compatibilityMode;
    // A null image prints as 0 × 0, and so does a target too large (or negative) to allocate.
    const bool tooLarge = width < 0 || height < 0 || width > maxSide || height > maxSide
        || qint64(width) * height * 4 > maxBufferBytes;
    if (m_image.isNull() || tooLarge) {
        m_image = QImage();
        m_width = 0;
        m_height = 0;
    }
}

QByteArray ESCImageManager::bytes() const
{
    if (m_printMode != 0 && m_printMode != 1)
        return QByteArray();
    const QByteArray &header = bandHeader(m_compatibilityMode);
    const QByteArray &trailer = bandTrailer(m_compatibilityMode);
    QByteArray out = emptyBands(header, trailer);
    const QImage canvas = scaled();
    // An opaque image painted onto white is itself, so only images with alpha are painted.
    const bool onWhite = !canvas.isNull() && (!opaque(canvas) || !paintable(canvas.format()));
    const int w = canvas.width();
    const int h = canvas.height();
    std::vector<qint32> errors(size_t(w) + 2, 0);
    std::vector<uchar> dots(static_cast<size_t>(w));
    // The steps run on strips of one band, so that nothing the size of the image is made besides
    // the image itself.
    const int strip = bandHeight(true);
    for (int y0 = 0; y0 < h; y0 += strip) {
        const int rows = qMin(strip, h - y0);
        QImage pixels(canvas.constScanLine(y0), w, rows, canvas.bytesPerLine(), canvas.format());
        pixels.setColorTable(canvas.colorTable());
        if (onWhite)
            pixels = flattened(pixels);
        if (pixels.format() != QImage::Format_RGB16)
            pixels = pixels.convertToFormat(QImage::Format_RGB16);
        for (int y = y0; y < y0 + rows; ++y) {
            const auto *line = reinterpret_cast<const quint16 *>(pixels.constScanLine(y - y0));
            if (y % 2 == 0)
                ditherRow<1>(line, w, errors.data() + 1, dots.data());
            else
                ditherRow<-1>(line, w, errors.data() + 1, dots.data());
            packRow(dots.data(), y, out.data() + header.size() + 5, trailer.size());
        }
    }
    return m_printMode == 1 ? paged(std::move(out)) : out;
}

QByteArray ESCImageManager::blackAndWhiteBytes() const
{
    if (m_printMode != 0 && m_printMode != 1)
        return QByteArray();
    const QByteArray &header = bandHeader(m_compatibilityMode);
    const QByteArray &trailer = bandTrailer(m_compatibilityMode);
    QByteArray bands = emptyBands(header, trailer);
    const QImage image = m_image.convertToFormat(QImage::Format_RGB16);
    std::vector<uchar> dots(size_t(qMax(m_width, 0)));
    for (int y = 0; y < m_height; ++y) {
        // A dot unless all three channels are in their upper half; outside the image, a dot.
        const auto *line = reinterpret_cast<const quint16 *>(image.constScanLine(y));
        for (int x = 0; x < m_width; ++x)
            dots[size_t(x)] = y >= image.height() || x >= image.width() || (line[x] & 0x8410) != 0x8410;
        packRow(dots.data(), y, bands.data() + header.size() + 5, trailer.size());
    }
    return m_printMode == 1 ? paged(std::move(bands)) : bands;
}

QImage ESCImageManager::scaled() const
{
    if (m_image.isNull() || m_width < 1 || m_height < 1)
        return QImage();
    return m_image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage ESCImageManager::flattened(const QImage &image)
{
    QImage::Format format = paintable(image.format()) ? image.format() : QImage::Format_RGB32;
    // Over opaque white both give the same pixels; the premultiplied one is drawn faster.
    if (format == QImage::Format_ARGB32)
        format = QImage::Format_ARGB32_Premultiplied;
    QImage white(image.size(), format);
    white.fill(Qt::white);
    QPainter painter(&white);
    painter.drawImage(0, 0, image);
    painter.end();
    // Every pixel is opaque now, and RGB32 converts to 5-6-5 much faster.
    if (format == QImage::Format_ARGB32_Premultiplied)
        white.reinterpretAsFormat(QImage::Format_RGB32);
    return white;
}

QByteArray ESCImageManager::emptyBands(const QByteArray &header, const QByteArray &trailer) const
{
    const int w = m_width;
    const int h = m_height;
    if (h < 1)
        return header;
    const int band = bandHeight(m_highDensity);
    const int bands = (h + band - 1) / band;
    const qint64 dotBytes = qint64(w) * (band / 8);
    QByteArray out(int(header.size() + bands * (5 + dotBytes + trailer.size())), '\0');
    char *o = out.data();
    memcpy(o, header.constData(), size_t(header.size()));
    o += header.size();
    for (int b = 0; b < bands; ++b) {
        const char command[]
            = { 0x1B, 0x2A, char(m_highDensity ? 0x21 : 0x00), char(w & 0xFF), char(w / 256) };
        memcpy(o, command, sizeof command);
        o += sizeof command + dotBytes;
        memcpy(o, trailer.constData(), size_t(trailer.size()));
        o += trailer.size();
    }
    return out;
}

void ESCImageManager::packRow(const uchar *dot, int y, char *bands, int trailerSize) const
{
    const int w = m_width;
    const int band = bandHeight(m_highDensity);
    const int columnBytes = band / 8;
    // Columns of band dots, the topmost dot in the most significant bit.
    char *column = bands + (y / band) * (5 + qint64(w) * columnBytes + trailerSize) + (y % band) / 8;
    const char bit = char(0x80 >> (y % 8));
    for (int x = 0; x < w; ++x, column += columnBytes)
        *column |= char(bit & -dot[x]);
}

QByteArray ESCImageManager::paged(QByteArray bands) const
{
    QByteArray out;
    out.reserve(bands.size() + 13);
    const char frame[] = { 0x1B, 0x4C, 0x1B, 0x57, 0x00, 0x00, 0x00, 0x00, char(m_width & 0xFF),
        char(m_width / 256), char(m_height & 0xFF), char(m_height / 256) };
    out.append(frame, sizeof frame);
    out.append(bands);
    out.append(char(0x0C));
    return out;
}
