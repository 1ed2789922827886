#include "escinterpreter.h"

#include "barcode.h"
#include "codepages.h"
#include "workbudget.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>

#include <algorithm>
#include <string_view>

namespace {

constexpr int topMargin = 16;
// Commands read between two looks at the budget.
constexpr int stepsPerCheck = 256;

// Ink of one character in a cell of the printer's font, rendered once per process. Without a
// GUI application there are no fonts, and characters print as blank cells.
QImage glyph(QChar c, bool fontB, bool bold)
{
    static QMutex mutex;
    // guarded by mutex
    static QHash<quint32, QImage> cache;
    const quint32 key = quint32(c.unicode()) << 2 | quint32(fontB) << 1 | quint32(bold);
    QMutexLocker locker(&mutex);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;

    const QSize cell = fontB ? QSize(9, 17) : QSize(12, 24);
    QImage ink(cell, QImage::Format_Grayscale8);
    ink.fill(0);
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QImage canvas(cell, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::TypeWriter);
        // DejaVu Sans Mono advances 0.6 em: 12 and 9 dots at these sizes.
        font.setPixelSize(fontB ? 15 : 20);
        font.setBold(bold);
        QPainter painter(&canvas);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(canvas.rect(), Qt::AlignCenter, QString(c));
        painter.end();
        // The coverage of each dot is its ink.
        ink = canvas.convertToFormat(QImage::Format_Alpha8);
        ink.reinterpretAsFormat(QImage::Format_Grayscale8);
    }
    cache.insert(key, ink);
    return ink;
}

} // namespace

ESCInterpreter::ESCInterpreter(int dotWidth, int maxHeight, qint64 maxBytes)
    : m_dotWidth(dotWidth >= 1 && dotWidth <= maxDotWidth ? dotWidth : 576)
    , m_pageWidth(m_dotWidth + 2 * margin)
    , m_paper(m_pageWidth, int(std::max<qint64>(1, std::min<qint64>(maxHeight, maxBytes / 2 / m_pageWidth))))
    , m_y(topMargin)
{
}

void ESCInterpreter::feed(const QByteArray &bytes)
{
    if (m_stopped || m_paper.runOut())
        return;
    m_input += bytes;
    int pos = 0;
    for (int steps = 1; pos < m_input.size() && !m_paper.runOut(); ++steps) {
        if (steps % stepsPerCheck == 0 && outOfBudget())
            break;
        const int used = step(m_input, pos);
        if (used == 0)
            break;
        pos += used;
    }
    if (m_stopped || m_paper.runOut())
        m_input.clear();
    else
        m_input.remove(0, pos);
}

bool ESCInterpreter::outOfBudget()
{
    if (!m_stopped && m_budget && m_budget->spent())
        m_stopped = true;
    return m_stopped;
}

QImage ESCInterpreter::paper()
{
    printLine(0);
    return m_paper.picture(m_y + topMargin);
}

QByteArray ESCInterpreter::toPng(const QImage &paper)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    paper.save(&buffer, "PNG", 80);
    return png;
}

// Interprets the command at pos; returns the bytes it took, or 0 when it is not complete yet.
int ESCInterpreter::step(const QByteArray &in, int pos)
{
    const int available = in.size() - pos;
    const uchar c = uchar(in.at(pos));
    const auto need = [&](int n) { return available >= n; };
    const auto arg = [&](int i) { return uchar(in.at(pos + i)); };

    if (c == 0x0A) {
        newLine();
        return 1;
    }
    if (c == 0x0C) {
        printLine(0);
        return 1;
    }
    if (c == 0x1B) {
        if (!need(2))
            return 0;
        switch (arg(1)) {
        case '@':
            printLine(0);
            m_mode = Mode();
            return 2;
        case '2':
            m_mode.lineSpacing = defaultLineSpacing;
            return 2;
        case 'W':
            return need(10) ? 10 : 0;
        case 'p':
            if (!need(5))
                return 0;
            drawerMark();
            return 5;
        case '*': {
            if (!need(5))
                return 0;
            const int columns = arg(3) | arg(4) << 8;
            const int length = 5 + columns * (arg(2) & 32 ? 3 : 1);
            if (!need(length))
                return 0;
            putBand(arg(2), in.constData() + pos + 5, columns);
            return length;
        }
        default:
            // Those with one byte of argument are read below; others are skipped.
            if (std::string_view("!atE-MdJ3").find(char(arg(1))) == std::string_view::npos)
                return 2;
        }
        if (!need(3))
            return 0;
        const uchar n = arg(2);
        switch (arg(1)) {
        case '!':
            setPrintMode(n);
            break;
        case 'a':
            m_mode.alignment = (n == 1 || n == '1') ? 1 : (n == 2 || n == '2') ? 2 : 0;
            break;
        case 't':
            m_mode.codePage = n < 20 ? n : 0;
            break;
        case 'E':
            m_mode.bold = n & 1;
            break;
        case '-':
            m_mode.underline = (n == 1 || n == '1') ? 1 : (n == 2 || n == '2') ? 2 : 0;
            break;
        case 'M':
            m_mode.fontB = (n == 1 || n == '1');
            break;
        case 'd':
            printLine(n * m_mode.lineSpacing);
            break;
        case 'J':
            printLine(n);
            break;
        case '3':
            m_mode.lineSpacing = n;
            break;
        }
        return 3;
    }
    if (c == 0x1D) {
        if (!need(2))
            return 0;
        const uchar command = arg(1);
        if (command == 'P')
            return need(4) ? 4 : 0;
        if (command == 'V') {
            if (!need(3))
                return 0;
            const uchar m = arg(2);
            if (m == 65 || m == 66) {
                if (!need(4))
                    return 0;
                cut(arg(3));
                return 4;
            }
            cut(0);
            return 3;
        }
        if (command == '(') {
            if (!need(5))
                return 0;
            const int length = 5 + (arg(3) | arg(4) << 8);
            if (!need(length))
                return 0;
            // QR code functions: cn 49, then fn and its parameters.
            if (arg(2) == 'k' && length >= 7 && arg(5) == 49) {
                const uchar fn = arg(6);
                if (fn == 67 && length >= 8)
                    m_qrModule = arg(7);
                else if (fn == 69 && length >= 8)
                    setQrCode(m_qrData, arg(7) >= 48 && arg(7) <= 51 ? arg(7) - 48 : m_qrLevel);
                else if (fn == 80 && length >= 8)
                    setQrCode(in.mid(pos + 8, length - 8), m_qrLevel);
                else if (fn == 81)
                    printQrCode();
            }
            return length;
        }
        if (command == 'v') {
            if (!need(8))
                return 0;
            const int widthBytes = arg(4) | arg(5) << 8;
            const int height = arg(6) | arg(7) << 8;
            const qint64 length = 8 + qint64(widthBytes) * height;
            if (arg(2) != '0' || !need(int(std::min<qint64>(length, INT_MAX))))
                return arg(2) != '0' ? 3 : 0;
            rasterImage(arg(3), in.constData() + pos + 8, widthBytes, height);
            return int(length);
        }
        if (command == 'k') {
            if (!need(3))
                return 0;
            const uchar m = arg(2);
            if (m <= 6) {
                const int end = in.indexOf('\0', pos + 3);
                if (end < 0)
                    return 0;
                printBarcode(m, in.mid(pos + 3, end - pos - 3));
                return end - pos + 1;
            }
            if (!need(4) || !need(4 + arg(3)))
                return 0;
            printBarcode(m, in.mid(pos + 4, arg(3)));
            return 4 + arg(3);
        }
        if (command == '!' || command == 'h' || command == 'w' || command == 'H' || command == 'f') {
            if (!need(3))
                return 0;
            const uchar n = arg(2);
            if (command == '!') {
                m_mode.xScale = (n >> 4 & 7) + 1;
                m_mode.yScale = (n & 7) + 1;
            } else if (command == 'h') {
                m_mode.barcodeHeight = n ? n : m_mode.barcodeHeight;
            } else if (command == 'w') {
                m_mode.barcodeModule = n >= 1 && n <= 6 ? n : m_mode.barcodeModule;
            } else if (command == 'H') {
                m_mode.hriPosition = n & 3;
            } else {
                m_mode.hriFontB = n & 1;
            }
            return 3;
        }
        return 2;
    }
    if (c == 0x10)
        return need(3) ? 3 : 0;
    if (c == 0x1C)
        return need(2) ? 2 : 0;
    if (c < 0x20 || c == 0x7F)
        return 1;
    const QString &page = CodePages::chars[m_mode.codePage].isEmpty() ? CodePages::chars[0]
                                                                      : CodePages::chars[m_mode.codePage];
    putChar(page.at(c - 1));
    return 1;
}

void ESCInterpreter::setPrintMode(uchar n)
{
    m_mode.fontB = n & 0x01;
    m_mode.bold = n & 0x08;
    m_mode.yScale = n & 0x10 ? 2 : 1;
    m_mode.xScale = n & 0x20 ? 2 : 1;
    m_mode.underline = n & 0x80 ? 1 : 0;
}

void ESCInterpreter::putChar(QChar c)
{
    const int width = cellWidth(m_mode.fontB) * m_mode.xScale;
    if (width > m_dotWidth)
        return;
    if (m_lineX + width > m_dotWidth)
        newLine();
    if (m_line.isEmpty())
        m_lineAlignment = m_mode.alignment;
    m_line.append(
        { m_lineX, glyph(c, m_mode.fontB, m_mode.bold), m_mode.xScale, m_mode.yScale, m_mode.underline });
    m_lineX += width;
    m_text += c;
}

// ESC * m: a band of 8 or 24 dots a column; the single-density and 8-dot forms print each dot
// wider or taller, so every band is 24 dots high.
void ESCInterpreter::putBand(uchar m, const char *data, int columns)
{
    if (m != 0 && m != 1 && m != 32 && m != 33)
        return;
    const int dotsPerColumn = m & 32 ? 24 : 8;
    const int xScale = m & 1 ? 1 : 2;
    const int yScale = 24 / dotsPerColumn;
    const int fit = std::min(columns, (m_dotWidth - m_lineX) / xScale);
    if (fit < 1)
        return;
    QImage band(fit, dotsPerColumn, QImage::Format_Grayscale8);
    band.fill(0);
    const int columnBytes = dotsPerColumn / 8;
    uchar *dots = band.bits();
    const qsizetype stride = band.bytesPerLine();
    for (int x = 0; x < fit; ++x) {
        for (int y = 0; y < dotsPerColumn; ++y) {
            if (uchar(data[x * columnBytes + y / 8]) & (0x80 >> (y % 8)))
                dots[y * stride + x] = 255;
        }
    }
    if (m_line.isEmpty())
        m_lineAlignment = m_mode.alignment;
    m_line.append({ m_lineX, band, xScale, yScale, 0 });
    m_lineX += fit * xScale;
}

void ESCInterpreter::newLine()
{
    printLine(m_mode.lineSpacing);
    m_text += QLatin1Char('\n');
}

// Prints the line and moves the paper by the feed, or by the line's height when that is more.
void ESCInterpreter::printLine(int feedDots)
{
    int height = 0;
    for (const Item &item : qAsConst(m_line))
        height = std::max(height, item.ink.height() * item.yScale);
    if (!m_line.isEmpty() && m_paper.reach(m_y + height)) {
        const int x0 = alignedX(m_lineX, m_lineAlignment);
        for (const Item &item : qAsConst(m_line))
            drawItem(item, x0 + item.x, m_y + height);
    }
    m_line.clear();
    m_lineX = 0;
    advance(std::max(height, feedDots));
}

void ESCInterpreter::drawItem(const Item &item, int x, int bottom)
{
    m_paper.draw(item.ink, x, bottom, item.xScale, item.yScale);
    if (item.underline)
        m_paper.ink(x, bottom - item.underline, item.ink.width() * item.xScale, item.underline, 255);
}

int ESCInterpreter::alignedX(int width, int alignment) const
{
    const int offset = alignment == 1 ? (m_dotWidth - width) / 2 : alignment == 2 ? m_dotWidth - width : 0;
    return margin + offset;
}

// Paper fed beyond the greatest length has run out, even with nothing printed on it.
void ESCInterpreter::advance(int dots)
{
    if (m_y + dots > m_paper.maxRows())
        m_paper.markRunOut();
    m_y = std::min(m_y + dots, m_paper.maxRows());
}

void ESCInterpreter::drawText(const QString &text, bool fontB, int x, int y)
{
    if (!m_paper.reach(y + cellHeight(fontB)))
        return;
    // A text wider than the paper is cut at both edges, as it is centred.
    for (const QChar c : text) {
        if (x + cellWidth(fontB) > m_pageWidth)
            break;
        if (x >= 0)
            drawItem({ 0, glyph(c, fontB, false), 1, 1, 0 }, x, y + cellHeight(fontB));
        x += cellWidth(fontB);
    }
}

void ESCInterpreter::rasterImage(uchar m, const char *data, int widthBytes, int height)
{
    printLine(0);
    const int xScale = m & 1 ? 2 : 1;
    const int yScale = m & 2 ? 2 : 1;
    const int width = std::min(widthBytes * 8 * xScale, m_dotWidth);
    const int x0 = alignedX(width, m_mode.alignment);
    for (int y = 0; y < height && m_paper.reach(m_y + yScale) && !outOfBudget(); ++y) {
        for (int x = 0; x * xScale < width; ++x) {
            if (uchar(data[y * widthBytes + x / 8]) & (0x80 >> (x % 8)))
                m_paper.ink(x0 + x * xScale, m_y, xScale, yScale, 255);
        }
        advance(yScale);
    }
}

void ESCInterpreter::setQrCode(const QByteArray &data, int level)
{
    m_qrEncoded = m_qrEncoded && data == m_qrData && level == m_qrLevel;
    m_qrData = data;
    m_qrLevel = level;
}

void ESCInterpreter::printQrCode()
{
    printLine(0);
    if (!m_qrEncoded) {
        if (outOfBudget())
            return;
        m_qrSymbol = QrSymbol::encode(m_qrData, QrSymbol::Level(m_qrLevel));
        m_qrEncoded = true;
    }
    const QrSymbol &symbol = m_qrSymbol;
    const int module = m_qrModule >= 1 && m_qrModule <= 16 ? m_qrModule : 3;
    const int side = symbol.size() * module;
    if (symbol.isNull() || side > m_dotWidth)
        return;
    if (!m_paper.reach(m_y + side))
        return;
    const int x0 = alignedX(side, m_mode.alignment);
    for (int y = 0; y < symbol.size(); ++y) {
        for (int x = 0; x < symbol.size(); ++x) {
            if (symbol.dark(x, y))
                m_paper.ink(x0 + x * module, m_y + y * module, module, module, 255);
        }
    }
    advance(side);
}

void ESCInterpreter::printBarcode(int m, const QByteArray &data)
{
    printLine(0);
    if (outOfBudget())
        return;
    const Barcode barcode = Barcode::fromPrinterData(m, data);
    const int width = barcode.bars().size() * m_mode.barcodeModule;
    if (barcode.isNull() || width > m_dotWidth)
        return;
    const QString hri = barcode.text();
    const int hriX = alignedX(hri.size() * cellWidth(m_mode.hriFontB), m_mode.alignment);
    const int hriHeight = cellHeight(m_mode.hriFontB) + 4;
    if (m_mode.hriPosition & 1) {
        drawText(hri, m_mode.hriFontB, hriX, m_y);
        advance(hriHeight);
    }
    const int x0 = alignedX(width, m_mode.alignment);
    for (int x = 0; x < barcode.bars().size(); ++x) {
        if (barcode.bars().at(x))
            m_paper.ink(x0 + x * m_mode.barcodeModule, m_y, m_mode.barcodeModule, m_mode.barcodeHeight, 255);
    }
    advance(m_mode.barcodeHeight);
    if (m_mode.hriPosition & 2) {
        drawText(hri, m_mode.hriFontB, hriX, m_y + 4);
        advance(hriHeight);
    }
}

void ESCInterpreter::cut(int feedDots)
{
    printLine(feedDots);
    for (int x = 0; x < m_pageWidth; x += 12)
        m_paper.ink(x, m_y + 6, 6, 1, 160);
    advance(14);
}

void ESCInterpreter::drawerMark()
{
    m_paper.ink(margin / 4, m_y, margin / 2, margin / 2, 120);
}
