#pragma once

#include "apibackend.h"
#include "apirequest.h"
#include "printclientrequesthandler.h"
#include "tpa.h"

#include <QSharedPointer>

// The program as the request handler sees it, with one terminal and nothing else: drives the
// terminal routes through the handler without the controller.
struct OneTerminalBackend : ApiBackend
{
    OneTerminalBackend() { handler.setPrintClient(this); }

    QString securityKey() const override { return QString(); }
    QList<QSharedPointer<Printer>> printerList() const override { return {}; }
    QList<QSharedPointer<Tpa>> tpaList() const override { return { tpa }; }
    QList<QSharedPointer<Notification>> notifications() const override { return {}; }
    void addNotification(Notification *) override { }
    QString curVersion() const override { return QString(); }
    QString device() const override { return QString(); }
    bool compatibilityMode() const override { return false; }
    void watchJob(const QString &, int) override { }

    // The handler's reply to a call of a terminal route on this terminal's port.
    QJsonObject call(const QByteArray &route, const QString &terminalId, const QString &amount = QString())
    {
        ApiRequest request;
        request.route = route;
        request.tpaPort = tpa ? tpa->tpa().portName() : QString();
        request.terminalTpaId = terminalId;
        request.amount = amount;
        return handler.reply(request);
    }

    QSharedPointer<Tpa> tpa;
    PrintClientRequestHandler handler;
};
