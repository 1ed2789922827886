#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The reply object every route fills: "status", and "error" on failure or "data" on success.
class Envelope
{
public:
    static void fail(QJsonObject &result, const QString &error);
    static void succeed(QJsonObject &result, const QJsonValue &data);
};
