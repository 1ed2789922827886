#pragma once

#include <QByteArray>
#include <QString>

// The command messages of one terminal family: bare payloads, without framing or check byte. An
// empty message is a command the family does not have. This base has none at all: the family of a
// terminal record without a worker.
class TpaMessages
{
public:
    virtual ~TpaMessages() = default;

    virtual QByteArray open() const { return QByteArray(); }
    virtual QByteArray close() const { return QByteArray(); }
    virtual QByteArray purchase(const QString &) const { return QByteArray(); }
    virtual QByteArray refund(const QString &, const QString &, const QString &) const
    {
        return QByteArray();
    }
    virtual QByteArray openMenu() const { return QByteArray(); }
    virtual QByteArray reprintLastReceipt() const { return QByteArray(); }

protected:
    // Field forms of the messages: the amount in 8 digits of cents, the date-time bare digits.
    static QByteArray amountField(const QString &amount);
    static QByteArray dateTimeField(const QString &dateTime);
};
