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

} // namespace

ESCImageManager::ESCImageManager(QObject *parent)
    : QObject(parent)
{ }

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
    QByteArray pixels = getImageBytes(flattened());
    pixels = floydSteinbergDithering(std::move(pixels));
    QByteArray bands
        = m_compatibilityMode ? makeMonoCompatibilityMode(std::move(pixels)) : makeMono(std::move(pixels));
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
    QImage canvas;
    {
        const QImage scaled
            = m_image.scaled(m_width, m_height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        canvas = QImage(scaled.size(), paintable(scaled.format()) ? scaled.format() : QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.drawImage(0, 0, scaled);
    }
    return canvas.convertToFormat(QImage::Format_RGB16);
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
    // Errors only travel to the current and the next row, so two rows of them are enough.
    std::vector<qint32> current(size_t(w), 0);
    std::vector<qint32> next(size_t(w), 0);
    for (int y = 0; y < h; ++y) {
        const bool forward = (y % 2) == 0;
        const int step = forward ? 1 : -1;
        const bool lastRow = y + 1 >= h;
        for (int i = 0; i < w; ++i) {
            const int x = forward ? i : w - 1 - i;
            const qint64 offset = (qint64(y) * w + x) * 4;
            const int r = offset < size ? px[offset] : 0;
            const int g = offset + 1 < size ? px[offset + 1] : 0;
            const int b = offset + 2 < size ? px[offset + 2] : 0;
            const int l = int(lum.r[r] + lum.g[g] + lum.b[b]);
            qint32 error = current[size_t(x)] + 255 - l;
            uchar value = 255;
            if (error >= 255) {
                value = 0;
                error -= 255;
            }
            for (qint64 k = offset; k < offset + 3 && k < size; ++k)
                px[k] = value;
            current[size_t(x)] = error;
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
    return data;
}

int ESCImageManager::getMonoDot(char r, char g, char b)
{
    return (r & g & b & 0x80) ? 0 : 1;
}

QByteArray ESCImageManager::makeMono(QByteArray data)
{
    static const QByteArray header = QByteArray::fromHex("1d5000001b3300");
    static const QByteArray trailer = QByteArray::fromHex("1b6400");
    return packBands(data, header, trailer);
}

QByteArray ESCImageManager::makeMonoCompatibilityMode(QByteArray data)
{
    static const QByteArray header = QByteArray::fromHex("1d50cbcb");
    static const QByteArray trailer = QByteArray::fromHex("1b4a18");
    return packBands(data, header, trailer);
}

QByteArray ESCImageManager::packBands(
    const QByteArray &data, const QByteArray &header, const QByteArray &trailer) const
{
    const int w = m_width;
    const int h = m_height;
    if (h < 1)
        return header;
    const int band = bandHeight(m_highDensity);
    const int columnBytes = band / 8;
    const int bands = (h + band - 1) / band;
    const qint64 bandSize = 5 + qint64(w) * columnBytes + trailer.size();
    QByteArray out(int(header.size() + bands * bandSize), '\0');
    char *o = out.data();
    memcpy(o, header.constData(), size_t(header.size()));
    o += header.size();
    const char *px = data.constData();
    const qint64 size = data.size();
    for (int y0 = 0; y0 < h; y0 += band) {
        *o++ = 0x1B;
        *o++ = 0x2A;
        *o++ = m_highDensity ? 0x21 : 0x00;
        *o++ = char(w & 0xFF);
        *o++ = char(w / 256);
        // Columns of band dots, the topmost dot in the most significant bit.
        for (int dy = 0; dy < band && y0 + dy < h; ++dy) {
            const char bit = char(0x80 >> (dy % 8));
            char *column = o + dy / 8;
            const qint64 row = qint64(y0 + dy) * w * 4;
            for (int x = 0; x < w; ++x, column += columnBytes) {
                const qint64 offset = row + qint64(x) * 4;
                const char r = offset < size ? px[offset] : 0;
                const char g = offset + 1 < size ? px[offset + 1] : 0;
                const char b = offset + 2 < size ? px[offset + 2] : 0;
                if (getMonoDot(r, g, b))
                    *column |= bit;
            }
        }
        o += qint64(w) * columnBytes;
        memcpy(o, trailer.constData(), size_t(trailer.size()));
        o += trailer.size();
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
