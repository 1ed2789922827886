#pragma once

#include <QByteArray>
#include <QChar>
#include <QObject>
#include <QString>

// The four built-in printer code pages, indexed by the n of ESC t n. Slot strings hold the
// character each byte 1…255 prints (index k-1 for byte k); unused slots are empty.
class CodePages : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    static const QString chars[20];

    // Every (page, byte) pair that prints c, in page order; 00 00 when no page has it.
    static QByteArray findChar(QChar c, const bool &alternativeCharset);

    // The first pair findChar would give, as page << 8 | byte, from a table built once.
    static quint16 firstChoice(QChar c, bool alternativeCharset);
};
