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

struct LuminanceTables
{
    std::array<double, 256> r, g, b;
    LuminanceTables()
    {
        for (int v = 0; v < 256; ++v) {
            r[v] = 0.2125 * v;
            g[v] = 0.7154 * v;
            b[v] = 0.0721 * v;
        }
    }
};

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
    std::vector<qint32> current;
    std::vector<qint32> next;
    // The steps run on strips of one band: the error rows carry over from strip to strip, and the
    // working buffers stay small enough to be reused instead of paged in afresh for every image.
    // Nothing the size of the image is made besides the image itself.
    const int strip = bandHeight(true);
    for (int y0 = 0; y0 < h; y0 += strip) {
        const int rows = qMin(strip, h - y0);
        QImage rowsOfCanvas(canvas.constScanLine(y0), w, rows, canvas.bytesPerLine(), canvas.format());
        rowsOfCanvas.setColorTable(canvas.colorTable());
        QByteArray pixels = rgbaBytes(onWhite ? flattened(rowsOfCanvas) : rowsOfCanvas);
        ditherRows(reinterpret_cast<uchar *>(pixels.data()), y0, rows, current, next);
        packRows(pixels.constData(), y0, rows, out.data() + header.size() + 5, trailer.size());
    }
    return m_printMode == 1 ? paged(std::move(out)) : out;
}

QByteArray ESCImageManager::blackAndWhiteBytes() const
{
    if (m_printMode != 0 && m_printMode != 1)
        return QByteArray();
    QByteArray bands = packBands(rgbaBytes(m_image), m_compatibilityMode);
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

QByteArray ESCImageManager::rgbaBytes(QImage image)
{
    if (image.format() != QImage::Format_RGB16)
        image = image.convertToFormat(QImage::Format_RGB16);
    const int w = image.width();
    const int h = image.height();
    QByteArray data(w * h * 4, Qt::Uninitialized);
    uchar *out = reinterpret_cast<uchar *>(data.data());
    for (int y = 0; y < h; ++y) {
        const quint16 *line = reinterpret_cast<const quint16 *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint16 p = line[x];
            *out++ = uchar((p >> 11) << 3 | 4);
            *out++ = uchar(((p >> 5) & 0x3F) << 2 | 2);
            *out++ = uchar((p & 0x1F) << 3 | 4);
            *out++ = 255;
        }
    }
    return data;
}

void ESCImageManager::ditherRows(
    uchar *px, int y0, int rows, std::vector<qint32> &current, std::vector<qint32> &next) const
{
    static const LuminanceTables lum;
    const int w = m_width;
    // Error rows hold one spare entry on either side: what falls off the image lands there and
    // is never read, which spares every pixel its bounds checks. After the last row, next is
    // never read either.
    current.resize(size_t(w) + 2);
    next.resize(size_t(w) + 2);
    std::vector<int> levels(static_cast<size_t>(w));
    for (int y = y0; y < y0 + rows; ++y) {
        uchar *row = px + qint64(y - y0) * w * 4;
        // The luminances first: they depend on no other pixel, so this loop runs at full speed.
        for (int x = 0; x < w; ++x) {
            const uchar *p = row + x * 4;
            levels[size_t(x)] = int(lum.r[p[0]] + lum.g[p[1]] + lum.b[p[2]]);
        }
        const int step = (y % 2) == 0 ? 1 : -1;
        const qint32 *here = current.data() + 1;
        qint32 *below = next.data() + 1;
        // The share for the next pixel on the row stays in a register instead of memory.
        qint32 ahead = 0;
        for (int i = 0; i < w; ++i) {
            const int x = step == 1 ? i : w - 1 - i;
            qint32 error = here[x] + ahead + 255 - levels[size_t(x)];
            // Branch-free: the dot pattern is close to random, so a branch would mostly mispredict.
            const int black = error >= 255;
            error -= 255 * black;
            uchar *p = row + x * 4;
            p[0] = p[1] = p[2] = uchar(black - 1);
            const qint32 q = error / 16;
            ahead = 7 * q;
            below[x] += 5 * q;
            below[x - step] += 3 * q;
            below[x + step] += q;
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
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

QByteArray ESCImageManager::packBands(QByteArray data, bool compatibilityMode) const
{
    const QByteArray &header = bandHeader(compatibilityMode);
    const QByteArray &trailer = bandTrailer(compatibilityMode);
    QByteArray out = emptyBands(header, trailer);
    // Bytes beyond the end of short data read as 0, that is as a dot.
    const qint64 needed = qint64(qMax(m_width, 0)) * qMax(m_height, 0) * 4;
    if (data.size() < needed)
        data.append(QByteArray(int(needed - data.size()), '\0'));
    packRows(data.constData(), 0, m_height, out.data() + header.size() + 5, trailer.size());
    return out;
}

void ESCImageManager::packRows(const char *px, int y0, int rows, char *dots, int trailerSize) const
{
    const int w = m_width;
    const int band = bandHeight(m_highDensity);
    const int columnBytes = band / 8;
    const qint64 bandSize = 5 + qint64(w) * columnBytes + trailerSize;
    // Columns of band dots, the topmost dot in the most significant bit; rows past the end
    // of the image give no dot. A pixel is a dot unless all three channels are 128 or more.
    for (int y = y0; y < y0 + rows; ++y) {
        char *column = dots + (y / band) * bandSize + (y % band) / 8;
        const char bit = char(0x80 >> (y % 8));
        const char *p = px + qint64(y - y0) * w * 4;
        for (int x = 0; x < w; ++x, column += columnBytes, p += 4)
            *column |= char(bit & -((p[0] & p[1] & p[2] & 0x80) == 0));
    }
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
