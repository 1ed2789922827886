#include "notificationstore.h"

#include "notification.h"

#include <QThread>

namespace {

// Released by the last holder on the store's thread.
QSharedPointer<Notification> adopt(Notification *record)
{
    return QSharedPointer<Notification>(record, &QObject::deleteLater);
}

} // namespace

NotificationStore::NotificationStore(QObject *parent)
    : QObject(parent)
{
}

QList<QSharedPointer<Notification>> NotificationStore::records() const
{
    QMutexLocker locker(&m_mutex);
    return m_records;
}

QList<Notification *> NotificationStore::pointers() const
{
    QList<Notification *> result;
    for (const QSharedPointer<Notification> &record : records())
        result << record.data();
    return result;
}

void NotificationStore::add(Notification *record)
{
    // Records are made on connection threads; their release belongs to the store's thread.
    if (record->thread() != thread())
        record->moveToThread(thread());
    {
        QMutexLocker locker(&m_mutex);
        m_records << adopt(record);
        while (m_records.size() > maxRecords)
            m_records.removeFirst();
    }
    notifyChanged();
}

void NotificationStore::setRecords(const QList<Notification *> &records)
{
    {
        QMutexLocker locker(&m_mutex);
        QList<QSharedPointer<Notification>> list;
        for (Notification *record : records) {
            const auto kept = std::find_if(m_records.cbegin(), m_records.cend(),
                [record](const QSharedPointer<Notification> &n) { return n == record; });
            list << (kept != m_records.cend() ? *kept : adopt(record));
        }
        m_records = list;
    }
    notifyChanged();
}

void NotificationStore::sweep(qint64 nowSeconds)
{
    {
        QMutexLocker locker(&m_mutex);
        for (int i = m_records.size() - 1; i >= 0; --i) {
            const QDateTime date = m_records.at(i)->dateTime();
            if (!date.isValid() || nowSeconds - date.toMSecsSinceEpoch() / 1000 >= maxAge)
                m_records.removeAt(i);
        }
    }
    notifyChanged();
}

void NotificationStore::notifyChanged()
{
    if (QThread::currentThread() == thread())
        emit changed();
    else
        QMetaObject::invokeMethod(this, &NotificationStore::changed, Qt::QueuedConnection);
}
