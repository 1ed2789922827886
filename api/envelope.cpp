#include "envelope.h"

void Envelope::fail(QJsonObject &result, const QString &error)
{
    result.insert(QStringLiteral("status"), false);
    result.insert(QStringLiteral("error"), error);
}

void Envelope::succeed(QJsonObject &result, const QJsonValue &data)
{
    result.insert(QStringLiteral("status"), true);
    result.insert(QStringLiteral("data"), data);
}
