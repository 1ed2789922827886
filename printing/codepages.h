#pragma once

#include <QChar>
#include <QString>

// The four built-in printer code pages, indexed by the n of ESC t n. Slot strings hold the
// character each byte 1…255 prints (index k-1 for byte k); unused slots are empty.
class CodePages
{
public:
    static const QString chars[20];

    // The first page, in page order, whose byte prints c, as page << 8 | byte, from a table built
    // once; 0 when no page has it.
    static quint16 firstChoice(QChar c, bool alternativeCharset);
};
