#include "barcode.h"

#include <algorithm>
#include <memory>
#include <zint.h>

namespace {

bool digitsOnly(const QString &text)
{
    return std::all_of(
        text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// EAN/UPC check digit: weights 3 and 1 alternate from the rightmost data digit.
int checkDigit(const QString &digits)
{
    int sum = 0;
    for (int i = 0; i < digits.size(); ++i)
        sum += (digits.at(digits.size() - 1 - i).unicode() - '0') * (i % 2 == 0 ? 3 : 1);
    return (10 - sum % 10) % 10;
}

QByteArray eanUpc(const QString &text, int dataDigits, QString *error)
{
    if (!digitsOnly(text) || (text.size() != dataDigits && text.size() != dataDigits + 1)) {
        *error
            = QStringLiteral("needs %1 digits (%2 with the check digit)").arg(dataDigits).arg(dataDigits + 1);
        return QByteArray();
    }
    const QString data = text.left(dataDigits);
    const int check = checkDigit(data);
    if (text.size() > dataDigits && text.at(dataDigits).unicode() - '0' != check) {
        *error = QStringLiteral("check digit %1 should be %2").arg(text.at(dataDigits)).arg(check);
        return QByteArray();
    }
    return (data + QString::number(check)).toLatin1();
}

QByteArray code39(const QString &text, QString *error)
{
    static const QString allowed = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%+-./");
    for (const QChar c : text) {
        if (!allowed.contains(c)) {
            *error = QStringLiteral("character '%1' is not one of 0-9, A-Z, space and $ %% + - . /").arg(c);
            return QByteArray();
        }
    }
    return text.toLatin1();
}

QByteArray itf(const QString &text, QString *error)
{
    if (!digitsOnly(text) || text.size() % 2 != 0) {
        *error = QStringLiteral("needs an even number of digits");
        return QByteArray();
    }
    return text.toLatin1();
}

// Code set C packs two digits a symbol; it pays for its switch only on runs of at least four
// digits at either end, or six in the middle. An odd run leaves one digit to code set B.
QByteArray code128(const QString &text, QString *error)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E) {
            *error = QStringLiteral("character '%1' is not printable ASCII").arg(c);
            return QByteArray();
        }
    }
    const int n = text.size();
    QVector<bool> inC(n, false);
    for (int i = 0; i < n;) {
        if (!text.at(i).isDigit()) {
            ++i;
            continue;
        }
        int j = i;
        while (j < n && text.at(j).isDigit())
            ++j;
        const bool atStart = i == 0;
        const bool atEnd = j == n;
        const int run = j - i;
        const int needed = atStart && atEnd ? 2 : atStart || atEnd ? 4 : 6;
        if (run >= needed) {
            const int first = run % 2 == 1 && !atStart ? i + 1 : i;
            for (int k = first; k < first + (run & ~1); ++k)
                inC[k] = true;
        }
        i = j;
    }
    QByteArray out;
    char set = 0;
    for (int i = 0; i < n;) {
        if (inC.at(i)) {
            if (set != 'C')
                out += "{C";
            set = 'C';
            out += char((text.at(i).unicode() - '0') * 10 + text.at(i + 1).unicode() - '0');
            i += 2;
        } else {
            if (set != 'B')
                out += "{B";
            set = 'B';
            const char c = char(text.at(i).unicode());
            out += c == '{' ? QByteArray("{{") : QByteArray(1, c);
            ++i;
        }
    }
    return out;
}

// CODE128 function B data back to the text it carries; FNC and shift codes carry none.
QByteArray code128Text(const QByteArray &data)
{
    QByteArray text;
    char set = 'B';
    for (int i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c == '{' && i + 1 < data.size()) {
            const char next = data.at(++i);
            if (next == '{')
                text += '{';
            else if (next == 'A' || next == 'B' || next == 'C')
                set = next;
            continue;
        }
        if (set == 'C') {
            if (uchar(c) > 99)
                return QByteArray();
            text += QByteArray::number(int(c) + 100).mid(1);
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace

QByteArray Barcode::printerData(Type type, const QString &text, QString *error)
{
    QByteArray data;
    if (type == UpcA || type == Ean13 || type == Ean8)
        data = eanUpc(text, type == UpcA ? 11 : type == Ean13 ? 12 : 7, error);
    else if (type == Code39)
        data = code39(text, error);
    else if (type == Itf)
        data = itf(text, error);
    else if (type == Code128)
        data = code128(text, error);
    else {
        *error = QStringLiteral("unsupported symbology");
        return QByteArray();
    }
    if (data.size() > 255) {
        *error = QStringLiteral("is %1 bytes long for the printer; at most 255 fit").arg(data.size());
        return QByteArray();
    }
    return data;
}

Barcode Barcode::fromPrinterData(int m, const QByteArray &data)
{
    Barcode barcode;
    if (m >= 0 && m <= 6)
        m += UpcA;
    if (m < UpcA || m > Code128)
        return barcode;
    // zint's symbology for each function B number from UpcA on.
    static const int symbologies[] = { BARCODE_UPCA, BARCODE_UPCE, BARCODE_EANX, BARCODE_EANX, BARCODE_CODE39,
        BARCODE_C25INTER, BARCODE_CODABAR, BARCODE_CODE93, BARCODE_CODE128 };
    QByteArray input = data;
    if ((m == Ean13 || m == Ean8) && (input.size() == 8 || input.size() == 13)) {
        if (checkDigit(QString::fromLatin1(input.left(input.size() - 1))) != input.back() - '0')
            return barcode;
        input.chop(1);
    } else if (m == Code39 && input.size() >= 2 && input.startsWith('*') && input.endsWith('*')) {
        input = input.mid(1, input.size() - 2);
    } else if (m == Code128) {
        input = code128Text(data);
    }
    if (input.isEmpty())
        return barcode;
    const std::unique_ptr<zint_symbol, decltype(&ZBarcode_Delete)> symbol(
        ZBarcode_Create(), &ZBarcode_Delete);
    if (!symbol)
        return barcode;
    symbol->symbology = symbologies[m - UpcA];
    symbol->input_mode = DATA_MODE;
    if (ZBarcode_Encode(
            symbol.get(), reinterpret_cast<const unsigned char *>(input.constData()), input.size())
        >= ZINT_ERROR)
        return barcode;
    barcode.m_bars.resize(symbol->width);
    for (int x = 0; x < symbol->width; ++x)
        barcode.m_bars[x] = (symbol->encoded_data[0][x >> 3] >> (x & 7)) & 1;
    barcode.m_text = QString::fromUtf8(reinterpret_cast<const char *>(symbol->text));
    return barcode;
}
