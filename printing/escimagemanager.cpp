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
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return false;
        }
    }
    return true;
}

// Luminance of every 5-6-5 colour as the dithering computes it from the expanded bytes.
struct ColourLuminance
{
    std::array<uchar, 0x10000> of;
    ColourLuminance()
    {
        const LuminanceTables lum;
        for (int c = 0; c < 0x10000; ++c) {
            const int r = (c >> 11) << 3 | 4;
            const int g = ((c >> 5) & 0x3F) << 2 | 2;
            const int b = (c & 0x1F) << 3 | 4;
            of[size_t(c)] = uchar(int(lum.r[size_t(r)] + lum.g[size_t(g)] + lum.b[size_t(b)]));
        }
    }
};

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

ESCImageManager::ESCImageManager(QObject *parent)
    : QObject(parent)
{
}

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

QByteArray ESCImageManager::getBytesToSend()
{
    return framed(ditheredBands());
}

QByteArray ESCImageManager::getBlackAndWhiteBytes()
{
    return framed(packBands(getImageBytes(m_image), m_compatibilityMode));
}

QByteArray ESCImageManager::framed(QByteArray bands)
{
    if (m_printMode == 1)
        return pagedPrinting(std::move(bands));
    if (m_printMode == 0)
        return bands;
    return QByteArray();
}

QImage ESCImageManager::flattened() const
{
    if (m_image.isNull() || m_width < 1 || m_height < 1)
        return QImage();
    QImage canvas = m_image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // An opaque image painted onto white is itself, so only images with alpha are painted.
    if (!opaque(canvas) || !paintable(canvas.format())) {
        QImage::Format format = paintable(canvas.format()) ? canvas.format() : QImage::Format_RGB32;
        // Over opaque white both give the same pixels; the premultiplied one is drawn faster.
        if (format == QImage::Format_ARGB32)
            format = QImage::Format_ARGB32_Premultiplied;
        QImage white(canvas.size(), format);
        white.fill(Qt::white);
        QPainter painter(&white);
        painter.drawImage(0, 0, canvas);
        painter.end();
        canvas = std::move(white);
    }
    const QImage::Format format = canvas.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
        || format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGB16)
        return canvas;
    return canvas.convertToFormat(QImage::Format_RGB16);
}

// The whole pipeline in one pass over the flattened image: each row is reduced to 5-6-5,
// dithered and its dots set straight into the bands. Same result as the separate steps,
// without the RGBA working buffer.
QByteArray ESCImageManager::ditheredBands()
{
    static const ColourLuminance luminance;
    const QByteArray &header = bandHeader(m_compatibilityMode);
    const QByteArray &trailer = bandTrailer(m_compatibilityMode);
    const QImage canvas = flattened();
    const int w = m_width;
    const int h = m_height;
    if (canvas.width() != w || canvas.height() != h) {
        QByteArray pixels = floydSteinbergDithering(getImageBytes(canvas));
        return m_compatibilityMode ? makeMonoCompatibilityMode(std::move(pixels))
                                   : makeMono(std::move(pixels));
    }

    QByteArray out = emptyBands(header, trailer);
    const int band = bandHeight(m_highDensity);
    const int columnBytes = band / 8;
    const qint64 bandSize = 5 + qint64(w) * columnBytes + trailer.size();
    uchar *dots = reinterpret_cast<uchar *>(out.data()) + header.size() + 5;
    const bool wide = canvas.format() != QImage::Format_RGB16;
    std::vector<uchar> levels(static_cast<size_t>(w));
    std::vector<qint32> current(size_t(w), 0);
    std::vector<qint32> next(size_t(w), 0);
    for (int y = 0; y < h; ++y) {
        if (wide) {
            const QRgb *line = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const QRgb p = line[x];
                levels[size_t(x)] = luminance.of[(p >> 8 & 0xF800) | (p >> 5 & 0x07E0) | (p >> 3 & 0x001F)];
            }
        } else {
            const quint16 *line = reinterpret_cast<const quint16 *>(canvas.constScanLine(y));
            for (int x = 0; x < w; ++x)
                levels[size_t(x)] = luminance.of[line[x]];
        }
        uchar *column = dots + (y / band) * bandSize + (y % band) / 8;
        const uchar bit = uchar(0x80 >> (y % 8));
        const bool forward = (y % 2) == 0;
        const int step = forward ? 1 : -1;
        const bool lastRow = y + 1 >= h;
        for (int i = 0; i < w; ++i) {
            const int x = forward ? i : w - 1 - i;
            qint32 error = current[size_t(x)] + 255 - levels[size_t(x)];
            // Branch-free: the dot pattern is close to random, so a branch would mostly mispredict.
            const int black = error >= 255;
            error -= 255 * black;
            column[x * columnBytes] |= uchar(bit & -black);
            const qint32 q = error / 16;
            const int ahead = x + step;
            const int behind = x - step;
            const bool aheadInside = ahead >= 0 && ahead < w;
            if (aheadInside)
                current[size_t(ahead)] += 7 * q;
            if (!lastRow) {
                next[size_t(x)] += 5 * q;
                if (behind >= 0 && behind < w)
                    next[size_t(behind)] += 3 * q;
                if (aheadInside)
                    next[size_t(ahead)] += q;
            }
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
    return out;
}

QByteArray ESCImageManager::getImageBytes(QImage image)
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

QByteArray ESCImageManager::floydSteinbergDithering(QByteArray data)
{
    static const LuminanceTables lum;
    const int w = m_width;
    const int h = m_height;
    if (w < 1 || h < 1)
        return data;
    uchar *px = reinterpret_cast<uchar *>(data.data());
    const qint64 size = data.size();
    const bool complete = size >= qint64(w) * h * 4;
    // Errors only travel to the current and the next row, so two rows of them are enough.
    std::vector<qint32> current(size_t(w), 0);
    std::vector<qint32> next(size_t(w), 0);
    for (int y = 0; y < h; ++y) {
        const bool forward = (y % 2) == 0;
        const int step = forward ? 1 : -1;
        const bool lastRow = y + 1 >= h;
        uchar *row = complete ? px + qint64(y) * w * 4 : nullptr;
        for (int i = 0; i < w; ++i) {
            const int x = forward ? i : w - 1 - i;
            int l;
            if (complete) {
                const uchar *p = row + x * 4;
                l = int(lum.r[p[0]] + lum.g[p[1]] + lum.b[p[2]]);
            } else {
                const qint64 offset = (qint64(y) * w + x) * 4;
                const auto byteAt = [&](qint64 k) { return k < size ? px[k] : uchar(0); };
                l = int(lum.r[byteAt(offset)] + lum.g[byteAt(offset + 1)] + lum.b[byteAt(offset + 2)]);
            }
            qint32 error = current[size_t(x)] + 255 - l;
            uchar value = 255;
            if (error >= 255) {
                value = 0;
                error -= 255;
            }
            if (complete) {
                uchar *p = row + x * 4;
                p[0] = p[1] = p[2] = value;
            } else {
                const qint64 offset = (qint64(y) * w + x) * 4;
                for (qint64 k = offset; k < offset + 3 && k < size; ++k)
                    px[k] = value;
            }
            current[size_t(x)] = error;
            const qint32 q = error / 16;
            if (q == 0)
                continue;
            const int ahead = x + step;
            const int behind = x - step;
            const bool aheadInside = ahead >= 0 && ahead < w;
            if (aheadInside)
                current[size_t(ahead)] += 7 * q;
            if (!lastRow) {
                next[size_t(x)] += 5 * q;
                if (behind >= 0 && behind < w)
                    next[size_t(behind)] += 3 * q;
                if (aheadInside)
                    next[size_t(ahead)] += q;
            }
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
    }
    return data;
}

int ESCImageManager::getMonoDot(char r, char g, char b)
{
    return (r & g & b & 0x80) ? 0 : 1;
}

QByteArray ESCImageManager::makeMono(QByteArray data)
{
    return packBands(data, false);
}

QByteArray ESCImageManager::makeMonoCompatibilityMode(QByteArray data)
{
    return packBands(data, true);
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

QByteArray ESCImageManager::packBands(const QByteArray &data, bool compatibilityMode) const
{
    const QByteArray &header = bandHeader(compatibilityMode);
    const QByteArray &trailer = bandTrailer(compatibilityMode);
    QByteArray out = emptyBands(header, trailer);
    const int w = m_width;
    const int h = m_height;
    const int band = bandHeight(m_highDensity);
    const int columnBytes = band / 8;
    const qint64 bandSize = 5 + qint64(w) * columnBytes + trailer.size();
    char *dots = out.data() + header.size() + 5;
    const char *px = data.constData();
    const qint64 size = data.size();
    // Columns of band dots, the topmost dot in the most significant bit; rows past the end
    // of the image give no dot.
    for (int y = 0; y < h; ++y) {
        char *column = dots + (y / band) * bandSize + (y % band) / 8;
        const char bit = char(0x80 >> (y % 8));
        const qint64 row = qint64(y) * w * 4;
        for (int x = 0; x < w; ++x, column += columnBytes) {
            const qint64 offset = row + qint64(x) * 4;
            const char r = offset < size ? px[offset] : 0;
            const char g = offset + 1 < size ? px[offset + 1] : 0;
            const char b = offset + 2 < size ? px[offset + 2] : 0;
            if (getMonoDot(r, g, b))
                *column |= bit;
        }
    }
    return out;
}

QByteArray ESCImageManager::pagedPrinting(QByteArray data)
{
    QByteArray out;
    out.reserve(data.size() + 13);
    const char frame[] = { 0x1B, 0x4C, 0x1B, 0x57, 0x00, 0x00, 0x00, 0x00, char(m_width & 0xFF),
        char(m_width / 256), char(m_height & 0xFF), char(m_height / 256) };
    out.append(frame, sizeof frame);
    out.append(data);
    out.append(char(0x0C));
    return out;
}
