#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

// Reading the values of a print job's commands, and naming them in error messages.
namespace JobValues {

// A JSON number that is a whole number within int range, else the fallback.
int wholeNumber(const QJsonValue &value, int fallback);
bool boolean(const QJsonValue &value, bool fallback);
// Neither missing nor null.
bool given(const QJsonValue &value);
// A value as JSON text, shortened when long, for error messages.
QString json(const QJsonValue &value);
// "job[position] "op": problem".
QString commandError(int position, const char *op, const QString &problem);
// The value of a member that must be a whole number within [low, high] when given.
bool wholeMember(const QJsonObject &data, const char *name, int low, int high, int *value, QString *problem);
// The index of a member's text among the choices, or the default's when it is not given.
bool choiceMember(
    const QJsonObject &data, const char *name, const QStringList &choices, int *index, QString *problem);

} // namespace JobValues
