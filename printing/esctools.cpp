#include "esctools.h"

#include "codepages.h"

namespace {

const char selectPc437[] = { 0x1B, 0x74, 0x00 };

// Last position p in [from, to] with s[p] == ch, or -1. Matches before the line start would
// not change where a line breaks, so they are not searched for.
int lastIndexIn(const QString &s, QChar ch, int from, int to)
{
    for (int p = to; p >= from; --p) {
        if (s.at(p) == ch)
            return p;
    }
    return -1;
}

} // namespace

QByteArray ESCTools::characterSetParser(const QString &text, bool alternativeCharset)
{
    QByteArray out;
    out.reserve(3 + text.size());
    out.append(selectPc437, 3);
    for (const QChar c : text) {
        const quint16 choice = CodePages::firstChoice(c, alternativeCharset);
        const char page = char(choice >> 8);
        const char byte = char(choice & 0xFF);
        if (page == 0) {
            out.append(byte);
        } else {
            const char switched[] = { 0x1B, 0x74, page, byte, 0x1B, 0x74, 0x00 };
            out.append(switched, sizeof switched);
        }
    }
    return out;
}

QString ESCTools::wrapText(const QString &text, int width, bool foldToAscii)
{
    const QString s = foldToAscii ? foldToASCII(text) : text;
    const int n = s.size();
    if (n <= width || width < 1)
        return s;

    QString o;
    o.reserve(n + n / width + 1);
    int i = 0;
    do {
        if (s.at(i) == QLatin1Char(' ')) {
            ++i;
        } else {
            const int sp = lastIndexIn(s, QLatin1Char(' '), i, i + width);
            const int dash = lastIndexIn(s, QLatin1Char('-'), i, i + width - 1);
            const int nl = lastIndexIn(s, QLatin1Char('\n'), i, i + width);
            const int brk = qMax(sp, dash + 1);
            const int cut = (i < nl && nl < brk) ? nl : brk;
            // Without a place to break, the line is cut at its width.
            const int end = cut <= i ? i + width : cut;
            o.append(s.midRef(i, end - i));
            o.append(QLatin1Char('\n'));
            // A hyphen stays at the end of its line; a space or newline is dropped.
            i = (cut <= i || cut == dash + 1) ? end : cut + 1;
        }
    } while (n - i > width);
    o.append(s.midRef(i));
    return o;
}

QString ESCTools::foldToASCII(const QString &text)
{
    const QMap<int, QString> &map = asciiFoldMap();
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() <= 0x7F) {
            out.append(c);
            continue;
        }
        out.append(map.value(c.unicode(), QStringLiteral(" ")));
    }
    return out;
}

const QMap<int, QString> &ESCTools::asciiFoldMap()
{
    static const QMap<int, QString> map = [] {
        QMap<int, QString> built;
        for (int k = 0; k < foldTableSize; ++k)
            built.insert(foldTable[k].key, QString::fromLatin1(foldTable[k].replacement));
        return built;
    }();
    return map;
}
