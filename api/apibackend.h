#pragma once

#include <QList>
#include <QSharedPointer>
#include <QString>

class Journal;
class Notification;
class Printer;
class Tpa;

// What the request handler needs from the program: the key, the device lists, the notification
// list and a few values it reports. Called from connection threads, so every call must be safe
// from any thread. The controller implements it; tests give the handler a backend of their own.
class ApiBackend
{
public:
    virtual ~ApiBackend() = default;

    virtual QString securityKey() const = 0;
    // Snapshots: an entry stays alive while a caller holds it, even after it left the list.
    virtual QList<QSharedPointer<Printer>> printerList() const = 0;
    virtual QList<QSharedPointer<Tpa>> tpaList() const = 0;
    virtual QList<QSharedPointer<Notification>> notifications() const = 0;
    // Takes ownership of the record.
    virtual void addNotification(Notification *record) = 0;
    virtual QString curVersion() const = 0;
    virtual QString device() const = 0;
    virtual bool compatibilityMode() const = 0;
    // A job the API sent to a printer, for the program to follow.
    virtual void watchJob(const QString &printer, int jobId) = 0;
    // Where requests, print jobs and terminal commands are kept; none, and no request ids, by default.
    virtual Journal *journal() const { return nullptr; }
};
