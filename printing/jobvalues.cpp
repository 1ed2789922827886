#include "jobvalues.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace JobValues {

int wholeNumber(const QJsonValue &value, int fallback)
{
    if (!value.isDouble())
        return fallback;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < std::numeric_limits<int>::min()
        || d > std::numeric_limits<int>::max())
        return fallback;
    return int(d);
}

bool boolean(const QJsonValue &value, bool fallback)
{
    return value.isBool() ? value.toBool() : fallback;
}

bool given(const QJsonValue &value)
{
    return !value.isUndefined() && !value.isNull();
}

QString json(const QJsonValue &value)
{
    if (value.isUndefined())
        return QStringLiteral("nothing");
    QString text = QString::fromUtf8(QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact));
    text = text.mid(1, text.size() - 2);
    return text.size() > 40 ? text.left(37) + QStringLiteral("...") : text;
}

QString commandError(int position, const char *op, const QString &problem)
{
    return QStringLiteral("job[%1] \"%2\": %3").arg(position).arg(QLatin1String(op), problem);
}

bool wholeMember(const QJsonObject &data, const char *name, int low, int high, int *value, QString *problem)
{
    const QJsonValue member = data.value(QLatin1String(name));
    if (!given(member))
        return true;
    const int number = wholeNumber(member, low - 1);
    if (number < low || number > high) {
        *problem = QStringLiteral("\"%1\" must be a whole number from %2 to %3, not %4")
                       .arg(QLatin1String(name))
                       .arg(low)
                       .arg(high)
                       .arg(json(member));
        return false;
    }
    *value = number;
    return true;
}

bool choiceMember(
    const QJsonObject &data, const char *name, const QStringList &choices, int *index, QString *problem)
{
    const QJsonValue member = data.value(QLatin1String(name));
    if (!given(member))
        return true;
    const int found = member.isString() ? choices.indexOf(member.toString()) : -1;
    if (found < 0) {
        *problem = QStringLiteral("\"%1\" must be one of \"%2\", not %3")
                       .arg(QLatin1String(name), choices.join(QStringLiteral("\", \"")), json(member));
        return false;
    }
    *index = found;
    return true;
}

} // namespace JobValues
