#pragma once

#include "paperroll.h"
#include "qrsymbol.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

class WorkBudget;

// Reads the ESC/POS bytes a printer would get and draws the paper they make: text through the
// code pages in a monospaced face at the printer's character cells, print modes, alignment,
// bit images, QR codes and barcodes, a dashed line where the paper is cut and a grey mark in the
// margin where the cash drawer is pulsed. Commands it does not know are skipped. What one drawing
// costs is bounded: the paper's length and memory, and the time of an optional WorkBudget.
class ESCInterpreter
{
public:
    // Blank paper left and right of the printable width, as on an 80 mm roll.
    static constexpr int margin = 32;
    static constexpr int defaultLineSpacing = 30;

    static constexpr int maxDotWidth = 4096;
    // 80 mm paper at 203 dpi.
    static constexpr int defaultDotWidth = 576;
    // 3.75 m of paper at 8 dots to the millimetre, far beyond any receipt.
    static constexpr int defaultMaxHeight = 30000;
    // The paper's dots and the picture paper() makes of them: enough for the greatest length up
    // to 80 mm paper at 203 dpi and its margins.
    static constexpr qint64 defaultMaxBytes = 40ll * 1024 * 1024;

    // dotWidth: the printable width in dots; values outside 1…maxDotWidth mean 576. The paper
    // grows to maxHeight dots, or less where a longer one would take more than maxBytes.
    explicit ESCInterpreter(
        int dotWidth = defaultDotWidth, int maxHeight = defaultMaxHeight, qint64 maxBytes = defaultMaxBytes);

    // The budget the work keeps to from now on, checked between commands and inside the costly
    // ones (QR codes, barcodes, raster images); not owned, null for none.
    void setBudget(WorkBudget *budget) { m_budget = budget; }
    // Interprets bytes after those given before; a command cut short waits for the rest. Once
    // the paper has run out or the budget is spent, bytes are ignored.
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
    bool truncated() const { return m_paper.runOut(); }
    // Whether the budget ended the work before every byte was read.
    bool stopped() const { return m_stopped; }
    // The greatest length of this paper, in dots.
    int maxHeight() const { return m_paper.maxRows(); }

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
    bool outOfBudget();
    void setPrintMode(uchar n);
    void putChar(QChar c);
    void putBand(uchar m, const char *data, int columns);
    void printLine(int feedDots);
    void newLine();
    void rasterImage(uchar m, const char *data, int widthBytes, int height);
    void setQrCode(const QByteArray &data, int level);
    void printQrCode();
    void printBarcode(int m, const QByteArray &data);
    void cut(int feedDots);
    void drawerMark();

    // Where a width starts on the paper at an alignment (0 left, 1 centre, 2 right).
    int alignedX(int width, int alignment) const;
    void advance(int dots);
    void drawItem(const Item &item, int x, int bottom);
    void drawText(const QString &text, bool fontB, int x, int y);
    int cellWidth(bool fontB) const { return fontB ? 9 : 12; }
    int cellHeight(bool fontB) const { return fontB ? 17 : 24; }

    const int m_dotWidth;
    const int m_pageWidth;
    PaperRoll m_paper;
    int m_y;
    WorkBudget *m_budget = nullptr;
    bool m_stopped = false;
    QByteArray m_input;
    QString m_text;

    // Printer state, as ESC @ leaves it.
    struct Mode
    {
        int codePage = 0;
        bool fontB = false;
        bool bold = false;
        int underline = 0;
        int xScale = 1;
        int yScale = 1;
        int alignment = 0;
        int lineSpacing = defaultLineSpacing;
        int barcodeHeight = 162;
        int barcodeModule = 3;
        int hriPosition = 0;
        bool hriFontB = false;
    };
    Mode m_mode;
    QByteArray m_qrData;
    // The code of m_qrData at m_qrLevel, once printed: printing it again costs no encoding.
    QrSymbol m_qrSymbol;
    bool m_qrEncoded = false;
    int m_qrModule = 3;
    int m_qrLevel = 0;

    // The line being filled: its items and the alignment it started with.
    QVector<Item> m_line;
    int m_lineX = 0;
    int m_lineAlignment = 0;
};
