#include "notification.h"

#include <QJsonValue>

#include <cmath>
#include <limits>

namespace {

const QString dateFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// A JSON number holding a whole value that fits an int; anything else is 0.
int wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return 0;
    return int(number);
}

} // namespace

Notification::Notification(QObject *parent)
    : QObject(parent)
{
}

Notification *Notification::fromJSON(const QJsonObject &object)
{
    const QString title = object.value(QStringLiteral("title")).toString();
    const QString subtitle = object.value(QStringLiteral("subtitle")).toString();
    const QString lastModifiedBy = object.value(QStringLiteral("lastModifiedBy")).toString();
    if (title.isEmpty() || subtitle.isEmpty())
        return nullptr;
    // Every status reply carries the whole list: its size must stay small whatever was sent.
    if (title.size() > maxTextLength || subtitle.size() > maxTextLength
        || lastModifiedBy.size() > maxTextLength)
        return nullptr;

    auto record = new Notification;
    record->setRequestId(wholeNumber(object.value(QStringLiteral("request_id"))));
    record->setTerminalId(wholeNumber(object.value(QStringLiteral("terminal_id"))));
    record->setStatusId(wholeNumber(object.value(QStringLiteral("status_id"))));
    record->setTitle(title);
    record->setSubtitle(subtitle);
    record->setLastModifiedBy(lastModifiedBy);
    const QString date = object.value(QStringLiteral("date")).toString();
    record->setDateTime(
        date.isEmpty() ? QDateTime::currentDateTime() : QDateTime::fromString(date, dateFormat));
    return record;
}

QJsonObject Notification::toJSON() const
{
    return QJsonObject {
        { QStringLiteral("request_id"), m_requestId },
        { QStringLiteral("terminal_id"), m_terminalId },
        { QStringLiteral("status_id"), m_statusId },
        { QStringLiteral("title"), m_title },
        { QStringLiteral("subtitle"), m_subtitle },
        { QStringLiteral("lastModifiedBy"), m_lastModifiedBy },
        { QStringLiteral("date"), m_dateTime.toString(dateFormat) },
    };
}

void Notification::setRequestId(int requestId)
{
    m_requestId = requestId;
    emit requestIdChanged(m_requestId);
}

void Notification::setTerminalId(int terminalId)
{
    m_terminalId = terminalId;
    emit terminalIdChanged(m_terminalId);
}

void Notification::setStatusId(int statusId)
{
    m_statusId = statusId;
    emit statusIdChanged(m_statusId);
}

void Notification::setTitle(const QString &title)
{
    m_title = title;
    emit titleChanged(m_title);
}

void Notification::setSubtitle(const QString &subtitle)
{
    m_subtitle = subtitle;
    emit subtitleChanged(m_subtitle);
}

void Notification::setLastModifiedBy(const QString &lastModifiedBy)
{
    m_lastModifiedBy = lastModifiedBy;
    emit lastModifiedByChanged(m_lastModifiedBy);
}

void Notification::setDateTime(const QDateTime &dateTime)
{
    m_dateTime = dateTime;
    emit dateTimeChanged(m_dateTime);
}
