#include "tpamessages.h"

QByteArray TpaMessages::amountField(const QString &amount)
{
    QString digits = amount;
    digits.remove(QLatin1Char('.')).remove(QLatin1Char(','));
    while (digits.size() < 8)
        digits.prepend(QLatin1Char('0'));
    return digits.toUtf8();
}

QByteArray TpaMessages::dateTimeField(const QString &dateTime)
{
    QString digits = dateTime;
    digits.remove(QLatin1Char(':')).remove(QLatin1Char(' ')).remove(QLatin1Char('-'));
    return digits.toUtf8();
}
