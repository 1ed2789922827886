#pragma once

#include "apibackend.h"
#include "tpa.h"

#include <QSharedPointer>

// The program as the request handler sees it, with one terminal and nothing else: drives the
// terminal routes without the controller.
struct OneTerminalBackend : ApiBackend
{
    QString securityKey() const override { return QString(); }
    QList<QSharedPointer<Printer>> printerList() const override { return {}; }
    QList<QSharedPointer<Tpa>> tpaList() const override { return { tpa }; }
    QList<QSharedPointer<Notification>> notifications() const override { return {}; }
    void addNotification(Notification *) override { }
    QString curVersion() const override { return QString(); }
    QString device() const override { return QString(); }
    bool compatibilityMode() const override { return false; }
    void watchJob(const QString &, int) override { }

    QSharedPointer<Tpa> tpa;
};
