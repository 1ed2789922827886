#include "tpamessagesnewnote.h"

QByteArray TpaMessagesNewnote::open() const
{
    return QByteArrayLiteral("S000") + "10" + "0000" + "0" + "1" + "1";
}

QByteArray TpaMessagesNewnote::close() const
{
    return QByteArrayLiteral("S001") + "10" + "0000" + "0" + "1" + "1";
}

QByteArray TpaMessagesNewnote::purchase(const QString &amount) const
{
    // A length byte, then four EMV tags of zero length: the terminal returns their values (terminal
    // identification, transaction date and time, amount authorised).
    static const char emvTags[]
        = { 0x0B, char(0x9F), 0x1C, 0x00, char(0x9A), 0x00, char(0x9F), 0x21, 0x00, char(0x9F), 0x02, 0x00 };
    return QByteArrayLiteral("C000") + "10" + "0000" + amountField(amount) + "000" + "0" + "1" + "0" + "0"
        + "0" + QByteArray(emvTags, sizeof emvTags);
}

QByteArray TpaMessagesNewnote::refund(
    const QString &amount, const QString &reference, const QString &dateTime) const
{
    return QByteArrayLiteral("C002") + "10" + "0000" + amountField(amount) + reference.toUtf8()
        + dateTimeField(dateTime) + "1" + "1" + "0";
}
