#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>

class Notification;

// The order notifications kept for the web application: oldest first, at most 20, each dropped
// 20 minutes after its date. Records arrive on connection threads and are swept on the store's
// own thread, so the list is locked; `changed` is always emitted on the store's thread.
class NotificationStore : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxRecords = 20;
    // Age in seconds from which a record is dropped.
    static constexpr qint64 maxAge = 1201;

    explicit NotificationStore(QObject *parent = nullptr);

    // A snapshot for any thread: a record stays alive while a snapshot holds it.
    QList<QSharedPointer<Notification>> records() const;
    QList<Notification *> pointers() const;

    // Appends a record, taking ownership; the oldest go beyond the limit. Any thread.
    void add(Notification *record);
    // Replaces the list, taking ownership of new records and releasing those that leave it.
    void setRecords(const QList<Notification *> &records);
    // Drops the records whose age at nowSeconds (since the epoch) reaches maxAge, and those
    // without a valid date.
    void sweep(qint64 nowSeconds);

signals:
    void changed();

private:
    void notifyChanged();

    mutable QMutex m_mutex;
    QList<QSharedPointer<Notification>> m_records; // guarded by m_mutex
};
