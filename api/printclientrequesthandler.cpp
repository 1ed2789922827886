#include "printclientrequesthandler.h"

#include "accesspolicy.h"
#include "apibackend.h"
#include "apilog.h"
#include "apirequest.h"
#include "envelope.h"
#include "httprequest.h"
#include "httpresponse.h"
#include "journal.h"
#include "notification.h"
#include "printer.h"
#include "printerroutes.h"
#include "replytext.h"
#include "startpage.h"
#include "tpa.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMutexLocker>

#include <functional>

// What each route needs before it runs, checked in this order: the key, a well-formed job, an
// enabled printer named "printer", an enabled terminal on "tpa_port" that is present. Versioned
// replies carry the program's version and device whatever their outcome.
struct PrintClientRequestHandler::Route
{
    // Once: acts once per "requestId".
    enum Need : unsigned { Key = 1, Job = 2, Printer = 4, Terminal = 8, Versioned = 16, Once = 32 };
    const char *path;
    unsigned needs;
    void (PrintClientRequestHandler::*run)(Call &call);
};

const PrintClientRequestHandler::Route PrintClientRequestHandler::routes[] = {
    { "/getStatus", Route::Key, &PrintClientRequestHandler::getStatus },
    { "/getPrinters", Route::Key, &PrintClientRequestHandler::getPrinters },
    { "/getPrinterStatus", Route::Key | Route::Printer | Route::Versioned,
        &PrintClientRequestHandler::getPrinterStatus },
    { "/sendJob", Route::Key | Route::Job | Route::Printer | Route::Once,
        &PrintClientRequestHandler::sendJob },
    { "/getJobStatus", Route::Key | Route::Printer, &PrintClientRequestHandler::getJobStatus },
    { "/getJournal", Route::Key, &PrintClientRequestHandler::getJournal },
    { "/previewJob", Route::Key | Route::Job, &PrintClientRequestHandler::previewJob },
    { "/setNotificationOrder", Route::Key, &PrintClientRequestHandler::setNotificationOrder },
    { "/getTpas", Route::Key, &PrintClientRequestHandler::getTpas },
    { "/getTpaStatus", Route::Key | Route::Terminal | Route::Versioned,
        &PrintClientRequestHandler::getTpaStatus },
    { "/getTpaTransactionStatus", Route::Key | Route::Terminal,
        &PrintClientRequestHandler::getTpaTransactionStatus },
    { "/clearTpaTransactionStatus", Route::Key | Route::Terminal,
        &PrintClientRequestHandler::clearTpaTransactionStatus },
    { "/sendTpaOpen", Route::Key | Route::Terminal | Route::Once, &PrintClientRequestHandler::sendTpaOpen },
    { "/sendTpaClose", Route::Key | Route::Terminal | Route::Once, &PrintClientRequestHandler::sendTpaClose },
    { "/sendTpaPurchase", Route::Key | Route::Terminal | Route::Once,
        &PrintClientRequestHandler::sendTpaPurchase },
    { "/sendTpaRefund", Route::Key | Route::Terminal | Route::Once,
        &PrintClientRequestHandler::sendTpaRefund },
    { "/sendTpaOpenMenu", Route::Key | Route::Terminal | Route::Once,
        &PrintClientRequestHandler::sendTpaOpenMenu },
    { "/sendTpaReprintLastReceipt", Route::Key | Route::Terminal | Route::Once,
        &PrintClientRequestHandler::sendTpaReprintLastReceipt },
};

namespace {

// A JSON body up to this size is read before its caller is judged, so that one that does not
// parse is answered "Invalid Json" as it always was; a larger one is judged on its head.
constexpr qint64 smallJsonBody = 65536;

// One line for support per print job and per terminal command, with its outcome: which device,
// for which point of sale and amount, and the reply's message. Never the key, and never what a
// receipt says; the caller's values are cut short.
void logActivity(const ApiRequest &request, const QJsonObject &result)
{
    const auto shown = [](const QString &value) { return value.left(64).toUtf8(); };
    const QString outcome
        = result
              .value(result.value(QStringLiteral("status")).toBool() ? QLatin1String("data")
                                                                     : QLatin1String("error"))
              .toString();
    if (request.route == "/sendJob")
        qCInfo(
            lcApi, "print job on \"%s\": %s", shown(request.printer).constData(), shown(outcome).constData());
    else if (request.route.startsWith("/sendTpa"))
        qCInfo(lcApi, "%s on \"%s\" for \"%s\"%s%s: %s", request.route.constData() + 1,
            shown(request.tpaPort).constData(), shown(request.terminalTpaId).constData(),
            request.amount.isEmpty() ? "" : ", amount ", shown(request.amount).constData(),
            shown(outcome).constData());
}

// What makes two requests with one requestId the same request.
QByteArray fingerprint(const ApiRequest &request)
{
    QByteArray material = request.route + '\0' + request.printer.toUtf8() + '\0'
        + QJsonDocument(request.job).toJson(QJsonDocument::Compact);
    for (const QString *value :
        { &request.tpaPort, &request.terminalTpaId, &request.amount, &request.tpaId, &request.datetime })
        material += '\0' + value->toUtf8();
    return QCryptographicHash::hash(material, QCryptographicHash::Sha256);
}

// The reply of a terminal command route that handed its command over.
QString sentText(const QByteArray &route)
{
    if (route == "/sendTpaOpen")
        return ReplyText::openSent();
    if (route == "/sendTpaClose")
        return ReplyText::closeSent();
    if (route == "/sendTpaPurchase")
        return ReplyText::purchaseSent();
    if (route == "/sendTpaRefund")
        return ReplyText::refundSent();
    if (route == "/sendTpaOpenMenu")
        return ReplyText::menuSent();
    return ReplyText::reprintSent();
}

// The enabled terminal on `port`, or null with the reply already set.
QSharedPointer<Tpa> findTpa(
    ApiBackend *client, QJsonObject &result, const QString &port, const QString &terminalId)
{
    if (!Tpa::isValidTerminalId(terminalId)) {
        Envelope::fail(result, ReplyText::terminalIdTooLong(Tpa::maxTerminalIdLength));
        return {};
    }
    QSharedPointer<Tpa> found;
    if (!port.isEmpty()) {
        for (const QSharedPointer<Tpa> &tpa : client->tpaList()) {
            if (tpa->available() && tpa->tpa().portName() == port) {
                found = tpa;
                break;
            }
        }
    }
    if (!found) {
        Envelope::fail(result, ReplyText::tpaNotFound());
        return {};
    }
    if (!found->state()) {
        Envelope::fail(result, ReplyText::tpaOffline());
        return {};
    }
    return found;
}

// Every reply says which origin may read it.
void setOriginHeaders(HttpResponse &response, const HttpRequest &request)
{
    response.setHeader(
        "Access-Control-Allow-Origin", AccessPolicy::allowedOrigin(request.getHeader("Origin")));
    response.setHeader("Vary", "Origin");
}

void writeEnvelope(HttpResponse &response, const QJsonObject &result, int status)
{
    if (status == 401)
        response.setStatus(status, "Unauthorized");
    else if (status == 403)
        response.setStatus(status, "Forbidden");
    else if (status == 404)
        response.setStatus(status, "Not found");
    response.write(QJsonDocument(result).toJson(), true);
}

} // namespace

PrintClientRequestHandler::PrintClientRequestHandler(QObject *parent)
    : HttpRequestHandler(parent)
{
}

void PrintClientRequestHandler::service(HttpRequest &request, HttpResponse &response)
{
    setOriginHeaders(response, request);
    // The start page: no key, and whatever the body holds.
    if (request.getPath() == "/") {
        response.setHeader("Content-Type", "text/html; charset=UTF-8");
        response.write(StartPage::forLanguages(ApiRequest::text(request.getHeader("Accept-Language"))), true);
        return;
    }

    response.setHeader("Content-Type", "application/json; charset=UTF-8");
    const ApiRequest decoded = ApiRequest::decode(request);
    if (!decoded.invalidJson && request.getMethod().contains("OPTIONS")) {
        // HTTP dates are English whatever the system's language.
        const QString date = QLocale::c().toString(
            QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss t"));
        response.setHeader("Date", date.toUpper().toLatin1());
        response.setHeader("Access-Control-Allow-Methods", "POST, GET, OPTIONS");
        response.setHeader("Access-Control-Allow-Headers", "authorization, Authorization, Content-Type");
        response.setHeader("Access-Control-Max-Age", 86400);
        response.write(QByteArray(), true);
        return;
    }
    int status = 200;
    const QJsonObject result = reply(decoded, &status, [&request] { return request.peerLeft(); });
    writeEnvelope(response, result, status);
}

bool PrintClientRequestHandler::answerBeforeBody(const HttpRequest &request, HttpResponse &response)
{
    // The start page and preflights are for anyone; a small JSON body is parsed first.
    if (ApiRequest::pathOf(request) == "/" || request.getMethod().contains("OPTIONS"))
        return false;
    const ApiRequest head = ApiRequest::decodeHead(request);
    if (head.json && request.announcedBodySize() <= smallJsonBody)
        return false;
    // A key in "Authorization" wins over one in the body, which cannot then change the reply.
    QJsonObject result;
    int status = 200;
    if (!AccessPolicy::refused(head, !head.key.isEmpty(),
            m_printClient ? m_printClient->securityKey() : QString(), result, status))
        return false;
    setOriginHeaders(response, request);
    response.setHeader("Content-Type", "application/json; charset=UTF-8");
    writeEnvelope(response, result, status);
    return true;
}

QJsonObject PrintClientRequestHandler::reply(
    const ApiRequest &request, int *status, const std::function<bool()> &callerGone)
{
    int code = 200;
    Call call { request, {}, {}, {}, callerGone };
    QJsonObject &result = call.result;
    const Route *route = nullptr;
    for (const Route &candidate : routes) {
        if (request.route == candidate.path) {
            route = &candidate;
            break;
        }
    }
    if (request.invalidJson) {
        Envelope::fail(result, ReplyText::invalidJson());
    } else if (AccessPolicy::refused(request, !route || (route->needs & Route::Key),
                   m_printClient ? m_printClient->securityKey() : QString(), result, code)) {
        // An unknown path is judged after the key, so that it tells nothing to a caller without one.
    } else if (!route) {
        Envelope::fail(result, ReplyText::notFound());
        code = 404;
    } else {
        respond(*route, call);
        logActivity(request, result);
    }
    if (status)
        *status = code;
    return result;
}

void PrintClientRequestHandler::respond(const Route &route, Call &call)
{
    const ApiRequest &request = call.request;
    if ((route.needs & Route::Once) && (!request.requestId.isEmpty() || !request.requestIdValid))
        respondOnce(route, call);
    else
        respondChecked(route, call);
}

void PrintClientRequestHandler::respondOnce(const Route &route, Call &call)
{
    const ApiRequest &request = call.request;
    if (!request.requestIdValid) {
        Envelope::fail(call.result, ReplyText::requestIdInvalid());
        return;
    }
    Journal *journal = m_printClient->journal();
    const QString path = QString::fromLatin1(route.path);
    QByteArray first;
    switch (journal ? journal->claim(path, request.requestId, fingerprint(request), &first)
                    : Journal::Claim::Unavailable) {
    case Journal::Claim::Repeat:
        call.result = QJsonDocument::fromJson(first).object();
        return;
    case Journal::Claim::Conflict:
        Envelope::fail(call.result, ReplyText::requestIdReused());
        return;
    case Journal::Claim::Unavailable:
        // Without the journal, "once" can no longer be promised.
        Envelope::fail(call.result, ReplyText::journalUnavailable());
        return;
    case Journal::Claim::Interrupted:
        if (!resumed(route, call, *journal))
            respondChecked(route, call);
        break;
    case Journal::Claim::New:
        respondChecked(route, call);
        break;
    }
    journal->settle(path, request.requestId, QJsonDocument(call.result).toJson(QJsonDocument::Compact));
}

bool PrintClientRequestHandler::resumed(const Route &route, Call &call, Journal &journal)
{
    const QString &requestId = call.request.requestId;
    if (route.run == &PrintClientRequestHandler::sendJob) {
        int jobId = 0;
        if (!journal.run([&](JournalStore &store) { return store.printOfRequest(requestId, &jobId); }))
            return false;
        if (jobId > 0) {
            Envelope::succeed(call.result, ReplyText::jobSent());
            call.result.insert(QStringLiteral("jobId"), jobId);
        } else {
            // The bytes may be with CUPS or not: never printed twice, the caller looks.
            Envelope::fail(call.result, ReplyText::printOutcomeUnknown());
        }
        return true;
    }
    if (!journal.run([&](JournalStore &store) { return store.commandOfRequest(requestId); }))
        return false;
    // The command reached its terminal's hands; its texts say how it ended (M97 when unknown).
    Envelope::succeed(call.result, sentText(call.request.route));
    return true;
}

void PrintClientRequestHandler::respondChecked(const Route &route, Call &call)
{
    const ApiRequest &request = call.request;
    if ((route.needs & Route::Job) && !request.jobWellFormed)
        Envelope::fail(call.result, ReplyText::jobMalformed());
    else if ((route.needs & Route::Printer)
        && !(call.printer = PrinterRoutes::find(m_printClient->printerList(), request.printer)))
        Envelope::fail(call.result, ReplyText::printerNotFound());
    else if ((route.needs & Route::Terminal)
        && !(call.tpa = findTpa(m_printClient, call.result, request.tpaPort, request.terminalTpaId))) {
        // findTpa said why.
    } else
        (this->*route.run)(call);
    if (route.needs & Route::Versioned) {
        call.result.insert(QStringLiteral("version"), m_printClient->curVersion());
        call.result.insert(QStringLiteral("device"), m_printClient->device());
    }
}

void PrintClientRequestHandler::getPrinters(Call &call)
{
    PrinterRoutes::getPrinters(*m_printClient, call.result);
}

void PrintClientRequestHandler::getPrinterStatus(Call &call)
{
    PrinterRoutes::getPrinterStatus(*call.printer, call.result);
}

void PrintClientRequestHandler::sendJob(Call &call)
{
    PrinterRoutes::sendJob(*m_printClient, *call.printer, call.request, call.result);
}

void PrintClientRequestHandler::getJournal(Call &call)
{
    const ApiRequest &request = call.request;
    const QString format = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    const QDateTime from = QDateTime::fromString(request.from, format);
    const QDateTime to = QDateTime::fromString(request.to, format);
    Journal *journal = m_printClient->journal();
    if (!from.isValid() || !to.isValid()) {
        Envelope::fail(call.result, ReplyText::journalRangeInvalid());
    } else if (!request.kind.isEmpty() && request.kind != QLatin1String("print")
        && request.kind != QLatin1String("payment")) {
        Envelope::fail(call.result, ReplyText::journalKindInvalid());
    } else if (!journal || !journal->isAvailable()) {
        Envelope::fail(call.result, ReplyText::journalUnavailable());
    } else {
        // A reply of a few megabytes at most; "more" says the range holds further entries.
        bool more = false;
        Envelope::succeed(call.result, journal->run([&](JournalStore &store) {
            return store.entries(
                from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch() + 999, request.kind, 5000, &more);
        }));
        call.result.insert(QStringLiteral("more"), more);
    }
}

void PrintClientRequestHandler::getJobStatus(Call &call)
{
    PrinterRoutes::getJobStatus(*m_printClient, *call.printer, call.request, call.result);
}

void PrintClientRequestHandler::previewJob(Call &call)
{
    PrinterRoutes::previewJob(*m_printClient, call.request, call.result, call.callerGone);
}

void PrintClientRequestHandler::getStatus(Call &call)
{
    Envelope::succeed(call.result, ReplyText::deviceOnline());
    if (!call.request.withNotifications)
        return;
    QJsonArray notifications;
    for (const QSharedPointer<Notification> &notification : m_printClient->notifications())
        notifications << notification->toJSON();
    call.result.insert(QStringLiteral("notifications"), notifications);
}

void PrintClientRequestHandler::setNotificationOrder(Call &call)
{
    const QJsonObject &body = call.request.body;
    Notification *record = body.isEmpty() ? nullptr : Notification::fromJSON(body);
    if (!record) {
        // Under "data", as callers have always read it.
        call.result.insert(QStringLiteral("status"), false);
        call.result.insert(QStringLiteral("data"), ReplyText::notificationRefused());
        return;
    }
    m_printClient->addNotification(record);
    Envelope::succeed(call.result, ReplyText::notificationReceived());
}

void PrintClientRequestHandler::getTpas(Call &call)
{
    QJsonArray tpas;
    for (const QSharedPointer<Tpa> &tpa : m_printClient->tpaList()) {
        if (!tpa->available())
            continue;
        const SerialPortDescription port = tpa->tpa();
        tpas << QJsonObject { { QStringLiteral("description"), port.description() },
            { QStringLiteral("manufacturer"), port.manufacturer() },
            { QStringLiteral("portName"), port.portName() },
            { QStringLiteral("productIdentifier"), int(port.productIdentifier()) },
            { QStringLiteral("vendorIdentifier"), int(port.vendorIdentifier()) },
            { QStringLiteral("vendorId"), tpa->vendorId() },
            { QStringLiteral("state"), Tpa::stateName(tpa->terminalState()) } };
    }
    Envelope::succeed(call.result, tpas);
}

void PrintClientRequestHandler::getTpaStatus(Call &call)
{
    const QString status = call.tpa->lastStatus(call.request.terminalTpaId);
    if (status.isEmpty()) {
        Envelope::fail(call.result, ReplyText::tpaStatusNotFound());
    } else if (status.startsWith(ReplyText::operationTimeoutPrefix())) {
        // A failure, under "data" as callers have always read it.
        call.result.insert(QStringLiteral("status"), false);
        call.result.insert(QStringLiteral("data"), status);
    } else {
        Envelope::succeed(call.result, status);
    }
}

void PrintClientRequestHandler::getTpaTransactionStatus(Call &call)
{
    Envelope::succeed(
        call.result, QJsonArray::fromStringList(call.tpa->lastTransactionStatus(call.request.terminalTpaId)));
}

void PrintClientRequestHandler::clearTpaTransactionStatus(Call &call)
{
    const QMutexLocker locker(&m_mutex);
    if (call.tpa->isInTransaction())
        Envelope::succeed(call.result, ReplyText::tpaBusy());
    else
        Envelope::succeed(call.result,
            QJsonArray::fromStringList(call.tpa->clearLastTransactionStatus(call.request.terminalTpaId)));
}

void PrintClientRequestHandler::sendCommand(
    Call &call, const std::function<void(Tpa &, const QString &)> &start, const QString &amount)
{
    const QMutexLocker locker(&m_mutex);
    if (call.tpa->isInTransaction()) {
        Envelope::succeed(call.result, ReplyText::tpaBusy());
        return;
    }
    // In the journal before the terminal has it, so that every text it makes has a command.
    const ApiRequest &request = call.request;
    const QString command = QString::fromLatin1(request.route.mid(int(qstrlen("/sendTpa")))).toLower();
    if (Journal *journal = m_printClient->journal())
        journal->run([&](JournalStore &store) {
            return store.commandStarted(
                request.tpaPort, request.terminalTpaId, command, amount, request.requestId);
        });
    start(*call.tpa, call.request.terminalTpaId);
    Envelope::succeed(call.result, sentText(request.route));
}

void PrintClientRequestHandler::sendTpaOpen(Call &call)
{
    sendCommand(call, &Tpa::setTpaOpen);
}

void PrintClientRequestHandler::sendTpaClose(Call &call)
{
    sendCommand(call, &Tpa::setTpaClose);
}

void PrintClientRequestHandler::sendTpaPurchase(Call &call)
{
    const QString &amount = call.request.amount;
    sendCommand(
        call, [&](Tpa &tpa, const QString &terminalId) { tpa.setTpaPurchase(terminalId, amount); }, amount);
}

void PrintClientRequestHandler::sendTpaRefund(Call &call)
{
    const ApiRequest &request = call.request;
    sendCommand(
        call,
        [&](Tpa &tpa, const QString &terminalId) {
            tpa.setTpaRefund(terminalId, request.tpaId, request.datetime, request.amount);
        },
        request.amount);
}

void PrintClientRequestHandler::sendTpaOpenMenu(Call &call)
{
    sendCommand(call, &Tpa::setTpaOpenMenu);
}

void PrintClientRequestHandler::sendTpaReprintLastReceipt(Call &call)
{
    sendCommand(call, &Tpa::setTpaReprintLastReceipt);
}
