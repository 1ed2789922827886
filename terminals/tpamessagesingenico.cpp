#include "tpamessagesingenico.h"

QByteArray TpaMessagesIngenico::open() const
{
    return QByteArrayLiteral("P001") + "00" + "1" + "333" + "04" + "9782";
}

QByteArray TpaMessagesIngenico::close() const
{
    return QByteArrayLiteral("P042") + "1" + "0" + "1" + "333" + "04" + "9782";
}

QByteArray TpaMessagesIngenico::purchase(const QString &amount) const
{
    return QByteArrayLiteral("P051") + "00" + "1" + "333" + "04" + "9782" + amountField(amount);
}

QByteArray TpaMessagesIngenico::refund(
    const QString &amount, const QString &reference, const QString &dateTime) const
{
    return QByteArrayLiteral("P061") + "00" + "1" + "333" + "02" + "9782" + amountField(amount)
        + reference.toUtf8() + dateTimeField(dateTime);
}

QByteArray TpaMessagesIngenico::openMenu() const
{
    return QByteArrayLiteral("M00500");
}

QByteArray TpaMessagesIngenico::reprintLastReceipt() const
{
    return QByteArrayLiteral("M00505");
}
