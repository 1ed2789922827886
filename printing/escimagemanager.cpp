#include "escimagemanager.h"

#include <QPainter>

#include <algorithm>
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

// The darkness (255 minus the luminance) of each RGB16 pixel, its channels widened to bytes with
// their middle bit set.
const std::array<uchar, 0x10000> &darkness565()
{
    static const std::array<uchar, 0x10000> darkness = [] {
        std::array<uchar, 0x10000> table {};
        for (int p = 0; p < 0x10000; ++p) {
            const double r = 0.2125 * ((p >> 11) << 3 | 4);
            const double g = 0.7154 * (((p >> 5) & 0x3F) << 2 | 2);
            const double b = 0.0721 * ((p & 0x1F) << 3 | 4);
            table[size_t(p)] = uchar(255 - int(r + g + b));
        }
        return table;
    }();
    return darkness;
}

// Serpentine Floyd–Steinberg in two passes over a row. The first walks the row in scan direction;
// what passes from pixel to pixel is only the sixteenth q of the error a pixel passes on (0 to 15:
// an entry of the row below inherits at most 9 sixteenths, so a pixel's darkness plus its inherited
// error, its carried value, stays within maxCarried, and the error left after black is at most
// maxCarried + 7 * 15 - 255 = 240). The second pass works out, from the qs, every pixel's dot and
// the error the row below inherits, the same for all pixels and so in vector instructions.
constexpr int maxCarried = 255 + 9 * 15;

quint64 rotateRight(quint64 bits, uint by)
{
    return bits >> (by & 63) | bits << (-by & 63);
}

// The q a pixel passes on, for each carried value and each q of the pixel before it: 4 q' for the
// q before at bits 4 q + 2 to 4 q + 5 (wrapping around), so that rotating right by 4 q and keeping
// bits 2 to 5 gives 4 q', the next rotation, with no memory load in between.
const std::array<quint64, maxCarried + 1> &diffusion()
{
    static const std::array<quint64, maxCarried + 1> next = [] {
        std::array<quint64, maxCarried + 1> table {};
        for (int carried = 0; carried <= maxCarried; ++carried) {
            quint64 fields = 0;
            for (int before = 0; before < 16; ++before) {
                const int e = carried + 7 * before;
                // Never negative, so the shift divides by 16.
                fields |= quint64((e >= 255 ? e - 255 : e) >> 4) << (4 * before);
            }
            table[size_t(carried)] = rotateRight(fields, 62);
        }
        return table;
    }();
    return next;
}

// Eight 16-bit lanes, handled by vector instructions where the processor has them.
typedef quint16 Lanes __attribute__((vector_size(16)));
typedef qint16 SignedLanes __attribute__((vector_size(16)));
constexpr int laneCount = int(sizeof(Lanes) / sizeof(quint16));

inline Lanes loadLanes(const quint16 *from)
{
    Lanes lanes;
    memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

inline void storeLanes(quint16 *to, Lanes lanes)
{
    memcpy(to, &lanes, sizeof lanes);
}

// The rows the two passes share, each a whole number of lanes long. states has a spare entry on
// the left and a spare lane on the right that stay 0: a missing neighbour passes nothing on.
struct DitherRows
{
    explicit DitherRows(int width)
        : size((width + laneCount - 1) / laneCount * laneCount)
        , pixelRow(size_t(size))
        , stateRow(size_t(size + laneCount + 1))
        , carriedRow(size_t(size))
        , belowRow(size_t(size))
        , dotRow(size_t(size))
    {
    }
    int size;
    // The row's pixels in RGB16, where they are converted here; 32 bits each, which saves narrowing.
    std::vector<quint32> pixelRow;
    // Each pixel's q times 4.
    std::vector<quint16> stateRow;
    // Each pixel's darkness plus the error it inherits.
    std::vector<quint16> carriedRow;
    // The error each pixel inherits from the row above.
    std::vector<quint16> belowRow;
    // Each pixel's dots, 1 for black, shifted in a row at a time.
    std::vector<quint16> dotRow;
};

// The first pass, in the direction of step. The chain from pixel to pixel is one rotation and one
// mask; state holds 4 q.
template<int step, typename Pixel> void walkRow(const Pixel *pixels, int w, DitherRows &rows)
{
    const uchar *dark = darkness565().data();
    const quint64 *next = diffusion().data();
    const quint16 *below = rows.belowRow.data();
    quint16 *carriedRow = rows.carriedRow.data();
    quint16 *states = rows.stateRow.data() + 1;
    uint state = 0;
    const ptrdiff_t end = step > 0 ? w : -1;
    for (ptrdiff_t x = step > 0 ? 0 : w - 1; x != end; x += step) {
        const size_t carried = size_t(below[x]) + dark[pixels[x]];
        carriedRow[x] = quint16(carried);
        state = uint(rotateRight(next[carried], state)) & 60;
        states[x] = quint16(state);
    }
}

// The second pass: a pixel is black when its carried value plus 7 q of the pixel before it reaches
// 255; the entry below it inherits 5 q of its own, 3 q of the pixel after it and 1 q of the one before.
// The sums stay far below 0x8000, so signed comparisons will do.
template<int step> void spreadRow(DitherRows &rows)
{
    const quint16 *states = rows.stateRow.data() + 1;
    for (int x = 0; x < rows.size; x += laneCount) {
        const Lanes q = loadLanes(states + x) >> 2;
        const Lanes left = loadLanes(states + x - 1) >> 2;
        const Lanes right = loadLanes(states + x + 1) >> 2;
        const Lanes before = step > 0 ? left : right;
        const Lanes after = step > 0 ? right : left;
        storeLanes(rows.belowRow.data() + x, 5 * q + 3 * after + before);
        const SignedLanes reach = SignedLanes(loadLanes(rows.carriedRow.data() + x) + 7 * before);
        const Lanes black = Lanes(reach > 254) & 1;
        storeLanes(rows.dotRow.data() + x, loadLanes(rows.dotRow.data() + x) << 1 | black);
    }
}

// One row of serpentine Floyd–Steinberg, left to right on even rows and right to left on odd ones.
template<typename Pixel> void ditherRow(const Pixel *pixels, int w, int y, DitherRows &rows)
{
    if (y % 2 == 0) {
        walkRow<1>(pixels, w, rows);
        spreadRow<1>(rows);
    } else {
        walkRow<-1>(pixels, w, rows);
        spreadRow<-1>(rows);
    }
}

// Eight 32-bit pixels.
typedef quint32 Pixels __attribute__((vector_size(32)));

// The RGB16 form of a row of opaque 32-bit pixels, into a row a whole number of lanes long: the top
// bits of each channel, as QImage converts them.
void to565(const QRgb *from, int w, quint32 *to)
{
    const auto convert = [](const QRgb *pixels, quint32 *out) {
        Pixels p;
        memcpy(&p, pixels, sizeof p);
        p = ((p >> 8) & 0xF800) | ((p >> 5) & 0x7E0) | ((p >> 3) & 0x1F);
        memcpy(out, &p, sizeof p);
    };
    int x = 0;
    for (; x + laneCount <= w; x += laneCount)
        convert(from + x, to + x);
    if (x < w) {
        QRgb tail[laneCount] = {};
        memcpy(tail, from + x, sizeof(QRgb) * size_t(w - x));
        convert(tail, to + x);
    }
}

// Whether every pixel is opaque; only 32-bit images are scanned, others with alpha count as not.
bool opaque(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return true;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (!std::all_of(line, line + image.width(), [](QRgb pixel) { return qAlpha(pixel) == 255; }))
            return false;
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
    QByteArray out = emptyBands();
    const QImage canvas = scaled();
    // An opaque image painted onto white is itself, so only images with alpha are painted.
    const bool onWhite = !canvas.isNull() && (!opaque(canvas) || !paintable(canvas.format()));
    const int w = canvas.width();
    const int h = canvas.height();
    DitherRows dither(w);
    // The steps run on strips of one band, so that nothing the size of the image is made besides
    // the image itself.
    const int strip = bandHeight(true);
    for (int y0 = 0; y0 < h; y0 += strip) {
        const int rows = qMin(strip, h - y0);
        QImage pixels(canvas.constScanLine(y0), w, rows, canvas.bytesPerLine(), canvas.format());
        // Setting a colour table copies the rows, so only palette images get one.
        if (!canvas.colorTable().isEmpty())
            pixels.setColorTable(canvas.colorTable());
        if (onWhite)
            pixels = flattened(pixels);
        // Opaque by now; their conversion is quicker here than through another image.
        const bool wide = pixels.format() == QImage::Format_RGB32 || pixels.format() == QImage::Format_ARGB32
            || pixels.format() == QImage::Format_ARGB32_Premultiplied;
        if (!wide && pixels.format() != QImage::Format_RGB16)
            pixels = pixels.convertToFormat(QImage::Format_RGB16);
        for (int y = y0; y < y0 + rows; ++y) {
            const uchar *line = pixels.constScanLine(y - y0);
            if (wide) {
                to565(reinterpret_cast<const QRgb *>(line), w, dither.pixelRow.data());
                ditherRow(dither.pixelRow.data(), w, y, dither);
            } else {
                ditherRow(reinterpret_cast<const quint16 *>(line), w, y, dither);
            }
            storeDots(dither.dotRow.data(), y, out);
        }
    }
    return m_printMode == 1 ? paged(std::move(out)) : out;
}

QByteArray ESCImageManager::blackAndWhiteBytes() const
{
    if (m_printMode != 0 && m_printMode != 1)
        return QByteArray();
    QByteArray bands = emptyBands();
    const QImage image = m_image.convertToFormat(QImage::Format_RGB16);
    std::vector<quint16> dots(size_t(qMax(m_width, 0)));
    for (int y = 0; y < m_height; ++y) {
        // A dot unless all three channels are in their upper half; outside the image, a dot.
        const auto *line = reinterpret_cast<const quint16 *>(image.constScanLine(y));
        for (int x = 0; x < m_width; ++x)
            dots[size_t(x)] = quint16(dots[size_t(x)] << 1
                | (y >= image.height() || x >= image.width() || (line[x] & 0x8410) != 0x8410));
        storeDots(dots.data(), y, bands);
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

QByteArray ESCImageManager::emptyBands() const
{
    const QByteArray &header = bandHeader(m_compatibilityMode);
    const QByteArray &trailer = bandTrailer(m_compatibilityMode);
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

void ESCImageManager::storeDots(const quint16 *dots, int y, QByteArray &bands) const
{
    if (y % 8 != 7 && y != m_height - 1)
        return;
    const int w = m_width;
    const int band = bandHeight(m_highDensity);
    const int columnBytes = band / 8;
    // Columns of band dots, the topmost dot in the most significant bit; a byte cut short by the
    // last row gets no dots below it.
    const qint64 bandBytes = 5 + qint64(w) * columnBytes + bandTrailer(m_compatibilityMode).size();
    char *column
        = bands.data() + bandHeader(m_compatibilityMode).size() + 5 + (y / band) * bandBytes + (y % band) / 8;
    const int shift = 7 - y % 8;
    for (int x = 0; x < w; ++x, column += columnBytes)
        *column = char(dots[x] << shift);
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
