#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

#include <cstdlib>
#include <memory>
#include <vector>

// Reads the ESC/POS bytes a printer would get and draws the paper they make: text through the
// code pages in a monospaced face at the printer's character cells, print modes, alignment,
// bit images, QR codes and barcodes, a dashed line where the paper is cut and a grey mark in the
// margin where the cash drawer is pulsed. Commands it does not know are skipped.
class ESCInterpreter
{
public:
    // Blank paper left and right of the printable width, as on an 80 mm roll.
    static constexpr int margin = 32;
    static constexpr int defaultLineSpacing = 30;

    static constexpr int maxDotWidth = 4096;

    // dotWidth: the printable width in dots; values outside 1…maxDotWidth mean 576.
    explicit ESCInterpreter(int dotWidth = 576);

    // Interprets bytes after those given before; a command cut short waits for the rest.
    void feed(const QByteArray &bytes);
    // The paper so far, white with black dots, the printable width plus the margins wide.
    // Text still on an unfinished line is printed first.
    QImage paper();
    // A paper image as PNG, lightly compressed: a fifth of the time of the default level for
    // half again its size.
    static QByteArray toPng(const QImage &paper);
    // The characters printed so far, decoded, with "\n" at every line feed and wrap.
    QString text() const { return m_text; }
    // Whether the paper reached its greatest length and what followed was left off.
    bool truncated() const { return m_truncated; }

private:
    struct Item
    {
        int x;
        QImage ink; // Grayscale8, 255 = full ink
        int xScale;
        int yScale;
        int underline;
    };

    int step(const QByteArray &in, int pos);
    void reset();
    void setPrintMode(uchar n);
    void putChar(QChar c);
    void putBand(uchar m, const char *data, int columns);
    void printLine(int feedDots);
    void wrapLine();
    void rasterImage(uchar m, const char *data, int widthBytes, int height);
    void printQrCode();
    void printBarcode(int m, const QByteArray &data);
    void cut(int feedDots);
    void drawerMark();

    int alignedX(int width) const;
    void advance(int dots);
    bool ensureRows(int bottom);
    uchar *row(int y)
    {
        return m_chunks[size_t(y / chunkRows)].get() + size_t(y % chunkRows) * size_t(m_pageWidth);
    }
    void ink(int x, int y, int width, int height, uchar level);
    void drawItem(const Item &item, int x, int bottom);
    void drawText(const QString &text, bool fontB, int x, int y);
    int cellWidth(bool fontB) const { return fontB ? 9 : 12; }
    int cellHeight(bool fontB) const { return fontB ? 17 : 24; }

    const int m_dotWidth;
    const int m_pageWidth;
    const int m_maxHeight;
    // Ink of every dot, 0 for none, in chunks of rows that are never moved as the paper grows;
    // fresh chunks come zeroed from the system.
    static constexpr int chunkRows = 256;
    struct Free
    {
        void operator()(uchar *p) const { std::free(p); }
    };
    std::vector<std::unique_ptr<uchar[], Free>> m_chunks;
    int m_rows = 0;
    int m_y;
    bool m_truncated = false;
    QByteArray m_input;
    QString m_text;

    // Printer state, as ESC @ leaves it.
    int m_codePage = 0;
    bool m_fontB = false;
    bool m_bold = false;
    int m_underline = 0;
    int m_xScale = 1;
    int m_yScale = 1;
    int m_alignment = 0;
    int m_lineSpacing = defaultLineSpacing;
    int m_barcodeHeight = 162;
    int m_barcodeModule = 3;
    int m_hriPosition = 0;
    bool m_hriFontB = false;
    QByteArray m_qrData;
    int m_qrModule = 3;
    int m_qrLevel = 0;

    // The line being filled: its items and the alignment it started with.
    QVector<Item> m_line;
    int m_lineX = 0;
    int m_lineAlignment = 0;
};
