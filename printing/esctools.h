#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Text for the receipt printer: optional folding to ASCII, wrapping to the line width and
// translation into code page bytes.
class ESCTools
{
public:
    // ESC t 0, then one byte per character; characters outside PC437 are printed through
    // another page, switching back to PC437 right after them.
    static QByteArray characterSetParser(const QString &text, bool alternativeCharset);

    // Breaks lines at spaces, newlines or after hyphens so that no line exceeds width
    // characters; words longer than a line are cut. A width below 1 leaves the text unwrapped.
    static QString wrapText(const QString &text, int width, bool foldToAscii);

    static QString foldToASCII(const QString &text);

    // UTF-16 code unit -> 1 to 4 ASCII characters; built on first use.
    static const QMap<int, QString> &asciiFoldMap();

private:
    struct FoldEntry
    {
        ushort key;
        const char *replacement;
    };
    static const FoldEntry foldTable[];
    static const int foldTableSize;
};
