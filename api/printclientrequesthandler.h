#pragma once

#include "httprequesthandler.h"

#include <QJsonObject>
#include <QMutex>
#include <QSharedPointer>

#include <functional>

class ApiBackend;
class ApiRequest;
class Journal;
class Printer;
class Tpa;

// The JSON API: the start page, the origin policy, the key check and the route table. One object
// serves every connection thread at once; a print job waits only for the jobs sent to the same
// printer before it.
class PrintClientRequestHandler : public HttpRequestHandler
{
    Q_OBJECT

public:
    explicit PrintClientRequestHandler(QObject *parent = nullptr);

    void setPrintClient(ApiBackend *client) { m_printClient = client; }
    void service(HttpRequest &request, HttpResponse &response) override;
    // Refuses a call from its head alone when no body could change the reply: a refused origin,
    // or a wrong key in "Authorization" (for a JSON body, only one too large to be worth parsing).
    bool answerBeforeBody(const HttpRequest &request, HttpResponse &response) override;
    // The reply to a decoded call, after the origin and key checks, and its HTTP status (200, or
    // 401, 403 or 404). callerGone says whether the caller still waits for the reply, for long
    // work to stop. Any thread.
    QJsonObject reply(
        const ApiRequest &request, int *status = nullptr, const std::function<bool()> &callerGone = {});

private:
    // What a route works on: the decoded request, what its route needs found beforehand, and the
    // reply's members.
    struct Call
    {
        const ApiRequest &request;
        QSharedPointer<Printer> printer;
        QSharedPointer<Tpa> tpa;
        QJsonObject result;
        std::function<bool()> callerGone;
    };
    struct Route;
    static const Route routes[];

    void respond(const Route &route, Call &call);
    // A route that acts once per "requestId": a repeat gets the first reply again.
    void respondOnce(const Route &route, Call &call);
    void respondChecked(const Route &route, Call &call);
    // The reply to a request whose first attempt was cut by the end of the program, from what the
    // journal holds of it; false when that attempt had not begun to act.
    bool resumed(const Route &route, Call &call, Journal &journal);

    void getPrinters(Call &call);
    void getPrinterStatus(Call &call);
    void sendJob(Call &call);
    void getJobStatus(Call &call);
    // The journal's entries from "from" to "to", of one "kind" or both.
    void getJournal(Call &call);
    void previewJob(Call &call);
    void getStatus(Call &call);
    void setNotificationOrder(Call &call);
    void getTpas(Call &call);
    void getTpaStatus(Call &call);
    void getTpaTransactionStatus(Call &call);
    void clearTpaTransactionStatus(Call &call);
    void sendTpaOpen(Call &call);
    void sendTpaClose(Call &call);
    void sendTpaPurchase(Call &call);
    void sendTpaRefund(Call &call);
    void sendTpaOpenMenu(Call &call);
    void sendTpaReprintLastReceipt(Call &call);
    // Starts a terminal command unless the terminal runs one already.
    void sendCommand(Call &call, const std::function<void(Tpa &, const QString &)> &start,
        const QString &amount = QString());

    ApiBackend *m_printClient = nullptr;
    // Makes a terminal's check for a transaction under way and the command that starts one a
    // single step.
    QMutex m_mutex;
};
