#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// One-dimensional barcodes: the data a job sends with GS k (function B), and the bars a printer
// draws for such data (through libzint) for the preview.
class Barcode
{
public:
    // GS k function B symbology numbers.
    enum Type {
        UpcA = 65,
        UpcE = 66,
        Ean13 = 67,
        Ean8 = 68,
        Code39 = 69,
        Itf = 70,
        Codabar = 71,
        Code93 = 72,
        Code128 = 73
    };

    // The GS k data for text: EAN/UPC check digits computed when left out and verified when
    // given, CODE128 in code set B with code set C for long runs of digits. Empty, with a
    // reason in error, when the symbology cannot carry the text.
    static QByteArray printerData(Type type, const QString &text, QString *error);

    // What a printer draws for GS k m (function A 0-6 or B 65-73) with that data; a null
    // barcode when the data is not valid for the symbology, which a printer ignores.
    static Barcode fromPrinterData(int m, const QByteArray &data);

    bool isNull() const { return m_bars.isEmpty(); }
    // Modules from left to right, true for a bar.
    const QVector<bool> &bars() const { return m_bars; }
    // The human-readable text printed with the bars.
    QString text() const { return m_text; }

private:
    QVector<bool> m_bars;
    QString m_text;
};
