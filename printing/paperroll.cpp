#include "paperroll.h"

#include <QVector>

#include <algorithm>

PaperRoll::PaperRoll(int width, int maxRows)
    : m_width(width)
    , m_maxRows(maxRows)
{
}

bool PaperRoll::reach(int bottom)
{
    if (bottom > m_maxRows) {
        m_runOut = true;
        return false;
    }
    while (m_rows < bottom) {
        m_chunks.emplace_back(static_cast<uchar *>(std::calloc(size_t(chunkRows) * size_t(m_width), 1)));
        if (!m_chunks.back())
            qFatal("out of memory for the paper");
        m_rows += chunkRows;
    }
    return true;
}

void PaperRoll::ink(int x, int y, int width, int height, uchar level)
{
    x = std::max(x, 0);
    width = std::min(width, m_width - x);
    if (width < 1 || height < 1 || !reach(y + height))
        return;
    for (int line = y; line < y + height; ++line) {
        uchar *to = row(line) + x;
        for (int i = 0; i < width; ++i)
            to[i] = std::max(to[i], level);
    }
}

void PaperRoll::draw(const QImage &ink, int x, int bottom, int xScale, int yScale)
{
    const int sourceWidth = ink.width();
    const int height = ink.height() * yScale;
    const int top = bottom - height;
    for (int y = 0; y < height; ++y) {
        const uchar *from = ink.constScanLine(y / yScale);
        uchar *to = row(top + y) + x;
        for (int i = 0; i < sourceWidth; ++i) {
            const uchar level = from[i];
            for (int k = 0; k < xScale; ++k, ++to)
                *to = std::max(*to, level);
        }
    }
}

QImage PaperRoll::picture(int height)
{
    height = std::min(height, m_maxRows);
    reach(height);
    // Sixteen shades are plenty for the edges of the characters, and PNG packs them two a byte.
    QImage out(m_width, height, QImage::Format_Indexed8);
    QVector<QRgb> shades(16);
    for (int i = 0; i < 16; ++i)
        shades[i] = qRgb(i * 17, i * 17, i * 17);
    out.setColorTable(shades);
    for (int y = 0; y < height; ++y) {
        const uchar *from = row(y);
        uchar *to = out.scanLine(y);
        for (int x = 0; x < m_width; ++x)
            to[x] = uchar(15 - (from[x] >> 4));
    }
    return out;
}
