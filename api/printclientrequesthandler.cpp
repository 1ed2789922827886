#include "printclientrequesthandler.h"

#include "apibackend.h"
#include "apilog.h"
#include "apirequest.h"
#include "httprequest.h"
#include "httpresponse.h"
#include "journal.h"
#include "notification.h"
#include "printer.h"
#include "replytext.h"
#include "startpage.h"
#include "tpa.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMutexLocker>
#include <QRegularExpression>

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

// The maker's web domains, main domain first; an origin on one of them (or a subdomain) may
// read the API's replies.
const char *const allowedDomains[]
    = { "tesmar.pt", "tesmar.es", "tesmar.com", "tesmar.co.ao", "tesmar.com.br" };
const QByteArray defaultOrigin = QByteArrayLiteral("https://www.tesmar.pt");

// Compares in time that depends only on the lengths, never on where the texts differ.
bool sameKey(const QString &given, const QString &expected)
{
    const QByteArray a = given.toUtf8();
    const QByteArray b = expected.toUtf8();
    const int length = qMax(a.size(), b.size());
    unsigned difference = unsigned(a.size() ^ b.size());
    for (int i = 0; i < length; ++i) {
        const unsigned char x = i < a.size() ? uchar(a.at(i)) : 0;
        const unsigned char y = i < b.size() ? uchar(b.at(i)) : 0;
        difference |= unsigned(x ^ y);
    }
    return difference == 0;
}

void fail(QJsonObject &result, const QString &error)
{
    result.insert(QStringLiteral("status"), false);
    result.insert(QStringLiteral("error"), error);
}

void succeed(QJsonObject &result, const QJsonValue &data)
{
    result.insert(QStringLiteral("status"), true);
    result.insert(QStringLiteral("data"), data);
}

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

QSharedPointer<Printer> findPrinter(const QList<QSharedPointer<Printer>> &printers, const QString &name)
{
    if (name.isEmpty())
        return {};
    for (const QSharedPointer<Printer> &printer : printers) {
        if (printer->available() && printer->name() == name)
            return printer;
    }
    return {};
}

// The enabled terminal on `port`, or null with the reply already set.
QSharedPointer<Tpa> findTpa(
    ApiBackend *client, QJsonObject &result, const QString &port, const QString &terminalId)
{
    if (!Tpa::isValidTerminalId(terminalId)) {
        fail(result, ReplyText::terminalIdTooLong(Tpa::maxTerminalIdLength));
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
        fail(result, ReplyText::tpaNotFound());
        return {};
    }
    if (!found->state()) {
        fail(result, ReplyText::tpaOffline());
        return {};
    }
    return found;
}

} // namespace

PrintClientRequestHandler::PrintClientRequestHandler(QObject *parent)
    : HttpRequestHandler(parent)
{
}

void PrintClientRequestHandler::setPrintClient(ApiBackend *client)
{
    m_printClient = client;
}

QByteArray PrintClientRequestHandler::allowedOrigin(const QByteArray &value)
{
    // Judged and echoed as the API reads every header: up to a NUL, never beyond it.
    const QString origin = ApiRequest::text(value);
    // scheme://host[:port] and nothing else; the host is compared as a whole name.
    // Anchored at the very end: "$" alone would also accept a trailing line feed.
    static const QRegularExpression form(
        QRegularExpression::anchoredPattern(QStringLiteral("(https?)://([A-Za-z0-9.-]+)(?::([0-9]+))?")));
    const QRegularExpressionMatch match = form.match(origin);
    if (!match.hasMatch())
        return defaultOrigin;
    const QString scheme = match.captured(1);
    const QString host = match.captured(2);
    const bool hasPort = match.capturedLength(3) > 0;
    if (scheme == QLatin1String("http") && host == QLatin1String("localhost"))
        return origin.toUtf8();
    if (hasPort)
        return defaultOrigin;
    for (const char *domain : allowedDomains) {
        const QString name = QLatin1String(domain);
        if (host == name || host.endsWith(QLatin1Char('.') + name))
            return origin.toUtf8();
    }
    return defaultOrigin;
}

void PrintClientRequestHandler::service(HttpRequest &request, HttpResponse &response)
{
    const QByteArray origin = request.getHeader("Origin");
    response.setHeader("Access-Control-Allow-Origin", allowedOrigin(origin));
    response.setHeader("Vary", "Origin");
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
    const QJsonObject result = reply(decoded, &status);
    if (status == 401)
        response.setStatus(status, "Unauthorized");
    else if (status == 403)
        response.setStatus(status, "Forbidden");
    else if (status == 404)
        response.setStatus(status, "Not found");
    response.write(QJsonDocument(result).toJson(), true);
}

QJsonObject PrintClientRequestHandler::reply(const ApiRequest &request, int *status)
{
    int code = 200;
    Call call { request, {}, {}, {} };
    QJsonObject &result = call.result;
    const Route *route = nullptr;
    for (const Route &candidate : routes) {
        if (request.route == candidate.path) {
            route = &candidate;
            break;
        }
    }
    if (request.invalidJson) {
        fail(result, ReplyText::invalidJson());
    } else if (!request.origin.isEmpty()
        && allowedOrigin(request.origin) != ApiRequest::text(request.origin).toUtf8()) {
        // A browser withholds the reply from such a page, but a form post still arrives: nothing
        // is done for it.
        fail(result, ReplyText::originNotAllowed());
        code = 403;
    } else if ((!route || (route->needs & Route::Key))
        && !sameKey(request.key, m_printClient ? m_printClient->securityKey() : QString())) {
        // An unknown path is judged after the key, so that it tells nothing to a caller without one.
        fail(result, ReplyText::invalidKey());
        code = 401;
    } else if (!route) {
        fail(result, ReplyText::notFound());
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
        fail(call.result, ReplyText::requestIdInvalid());
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
        fail(call.result, ReplyText::requestIdReused());
        return;
    case Journal::Claim::Unavailable:
        // Without the journal, "once" can no longer be promised.
        fail(call.result, ReplyText::journalUnavailable());
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
            succeed(call.result, ReplyText::jobSent());
            call.result.insert(QStringLiteral("jobId"), jobId);
        } else {
            // The bytes may be with CUPS or not: never printed twice, the caller looks.
            fail(call.result, ReplyText::printOutcomeUnknown());
        }
        return true;
    }
    if (!journal.run([&](JournalStore &store) { return store.commandOfRequest(requestId); }))
        return false;
    // The command reached its terminal's hands; its texts say how it ended (M97 when unknown).
    succeed(call.result, sentText(call.request.route));
    return true;
}

void PrintClientRequestHandler::respondChecked(const Route &route, Call &call)
{
    const ApiRequest &request = call.request;
    if ((route.needs & Route::Job) && !request.jobWellFormed)
        fail(call.result, ReplyText::jobMalformed());
    else if ((route.needs & Route::Printer)
        && !(call.printer = findPrinter(m_printClient->printerList(), request.printer)))
        fail(call.result, ReplyText::printerNotFound());
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
    QJsonArray names;
    for (const QSharedPointer<Printer> &printer : m_printClient->printerList()) {
        if (printer->available())
            names << printer->name();
    }
    succeed(call.result, names);
}

void PrintClientRequestHandler::getPrinterStatus(Call &call)
{
    PrinterStatus status;
    QString error;
    switch (call.printer->readStatus(&status, &error)) {
    case Printer::Reading::Read:
        succeed(call.result, status.ready());
        call.result.insert(QStringLiteral("state"), status.stateName());
        call.result.insert(QStringLiteral("accepting"), status.accepting);
        call.result.insert(QStringLiteral("reasons"), QJsonArray::fromStringList(status.reasons));
        call.result.insert(QStringLiteral("queuedJobs"), status.queuedJobs);
        break;
    case Printer::Reading::Missing:
        // Gone from the system since the last refresh: not ready, as it has always said.
        succeed(call.result, false);
        break;
    case Printer::Reading::NoAnswer:
        fail(call.result, error);
        break;
    }
}

void PrintClientRequestHandler::sendJob(Call &call)
{
    PrinterStatus status;
    QString error;
    const Printer::Reading reading = call.printer->readStatus(&status, &error);
    if (reading == Printer::Reading::NoAnswer) {
        fail(call.result, error);
        return;
    }
    if (reading == Printer::Reading::Read && !status.notReadyCause().isEmpty()) {
        // Nothing is queued that would print when nobody expects it any more.
        fail(call.result, ReplyText::printerNotReady(status.notReadyCause()));
        return;
    }
    if (reading == Printer::Reading::Missing || !status.ready()) {
        fail(call.result, ReplyText::printerNotReady());
        return;
    }
    if (call.request.job.isEmpty()) {
        fail(call.result, ReplyText::jobEmpty());
        return;
    }
    // In the journal, with its bytes, before they go; its outcome before the reply does.
    Journal *journal = m_printClient->journal();
    qint64 entry = 0;
    const int jobId = call.printer->print(
        call.request.job, m_printClient->compatibilityMode(), &error, [&](const QByteArray &bytes) {
            if (journal)
                entry = journal->run([&](JournalStore &store) {
                    return store.printStarted(call.printer->name(), call.request.requestId, bytes);
                });
        });
    if (jobId <= 0)
        fail(call.result, error.isEmpty() ? ReplyText::jobNotPrinted() : error);
    if (entry)
        journal->run([&](JournalStore &store) {
            return store.printEnded(entry, qMax(jobId, 0),
                jobId > 0 ? ReplyText::jobSent() : call.result.value(QStringLiteral("error")).toString());
        });
    if (jobId <= 0)
        return;
    m_printClient->watchJob(call.printer->name(), jobId);
    succeed(call.result, ReplyText::jobSent());
    call.result.insert(QStringLiteral("jobId"), jobId);
}

void PrintClientRequestHandler::getJournal(Call &call)
{
    const ApiRequest &request = call.request;
    const QString format = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    const QDateTime from = QDateTime::fromString(request.from, format);
    const QDateTime to = QDateTime::fromString(request.to, format);
    Journal *journal = m_printClient->journal();
    if (!from.isValid() || !to.isValid()) {
        fail(call.result, ReplyText::journalRangeInvalid());
    } else if (!request.kind.isEmpty() && request.kind != QLatin1String("print")
        && request.kind != QLatin1String("payment")) {
        fail(call.result, ReplyText::journalKindInvalid());
    } else if (!journal || !journal->isAvailable()) {
        fail(call.result, ReplyText::journalUnavailable());
    } else {
        // A reply of a few megabytes at most; "more" says the range holds further entries.
        bool more = false;
        succeed(call.result, journal->run([&](JournalStore &store) {
            return store.entries(
                from.toMSecsSinceEpoch(), to.toMSecsSinceEpoch() + 999, request.kind, 5000, &more);
        }));
        call.result.insert(QStringLiteral("more"), more);
    }
}

void PrintClientRequestHandler::getJobStatus(Call &call)
{
    JobStatus job;
    PrinterStatus status;
    QString error;
    const Printer::Reading reading = call.printer->readJob(call.request.jobId, &job, &error);
    QString state = job.stateName();
    Journal *journal = m_printClient->journal();
    const QString printer = call.printer->name();
    const int jobId = call.request.jobId;
    if (journal && reading == Printer::Reading::Read && job.finished()) {
        journal->run([&](JournalStore &store) { store.jobEnded(printer, jobId, state); });
    } else if (journal && reading == Printer::Reading::Missing) {
        // A job of an earlier run that the scheduler has let go of: how it ended, as learnt then.
        state = journal->run([&](JournalStore &store) { return store.jobState(printer, jobId); });
    }
    if ((reading != Printer::Reading::Read && state.isEmpty())
        || call.printer->readStatus(&status, &error) == Printer::Reading::NoAnswer) {
        fail(call.result, error);
        return;
    }
    succeed(call.result, state);
    call.result.insert(QStringLiteral("reasons"), QJsonArray::fromStringList(job.reasons));
    call.result.insert(QStringLiteral("printerReasons"), QJsonArray::fromStringList(status.reasons));
}

void PrintClientRequestHandler::previewJob(Call &call)
{
    // The printer is optional here; one given must be enabled.
    const QString &printer = call.request.printer;
    if (!printer.isEmpty() && !findPrinter(m_printClient->printerList(), printer)) {
        fail(call.result, ReplyText::printerNotFound());
        return;
    }
    if (call.request.job.isEmpty()) {
        fail(call.result, ReplyText::jobEmpty());
        return;
    }
    QString error;
    QSize size;
    const QByteArray png
        = Printer::preview(call.request.job, m_printClient->compatibilityMode(), &size, &error);
    if (png.isEmpty()) {
        fail(call.result, error);
        return;
    }
    succeed(call.result, QString::fromLatin1(png.toBase64()));
    call.result.insert(QStringLiteral("width"), size.width());
    call.result.insert(QStringLiteral("height"), size.height());
}

void PrintClientRequestHandler::getStatus(Call &call)
{
    succeed(call.result, ReplyText::deviceOnline());
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
    succeed(call.result, ReplyText::notificationReceived());
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
    succeed(call.result, tpas);
}

void PrintClientRequestHandler::getTpaStatus(Call &call)
{
    const QString status = call.tpa->lastStatus(call.request.terminalTpaId);
    if (status.isEmpty()) {
        fail(call.result, ReplyText::tpaStatusNotFound());
    } else if (status.startsWith(ReplyText::operationTimeoutPrefix())) {
        // A failure, under "data" as callers have always read it.
        call.result.insert(QStringLiteral("status"), false);
        call.result.insert(QStringLiteral("data"), status);
    } else {
        succeed(call.result, status);
    }
}

void PrintClientRequestHandler::getTpaTransactionStatus(Call &call)
{
    succeed(
        call.result, QJsonArray::fromStringList(call.tpa->lastTransactionStatus(call.request.terminalTpaId)));
}

void PrintClientRequestHandler::clearTpaTransactionStatus(Call &call)
{
    const QMutexLocker locker(&m_mutex);
    if (call.tpa->isInTransaction())
        succeed(call.result, ReplyText::tpaBusy());
    else
        succeed(call.result,
            QJsonArray::fromStringList(call.tpa->clearLastTransactionStatus(call.request.terminalTpaId)));
}

void PrintClientRequestHandler::sendCommand(Call &call,
    const std::function<void(Tpa &, const QString &)> &start, const QString &sent, const QString &amount)
{
    const QMutexLocker locker(&m_mutex);
    if (call.tpa->isInTransaction()) {
        succeed(call.result, ReplyText::tpaBusy());
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
    succeed(call.result, sent);
}

void PrintClientRequestHandler::sendTpaOpen(Call &call)
{
    sendCommand(call, &Tpa::setTpaOpen, ReplyText::openSent());
}

void PrintClientRequestHandler::sendTpaClose(Call &call)
{
    sendCommand(call, &Tpa::setTpaClose, ReplyText::closeSent());
}

void PrintClientRequestHandler::sendTpaPurchase(Call &call)
{
    const QString &amount = call.request.amount;
    sendCommand(
        call, [&](Tpa &tpa, const QString &terminalId) { tpa.setTpaPurchase(terminalId, amount); },
        ReplyText::purchaseSent(), amount);
}

void PrintClientRequestHandler::sendTpaRefund(Call &call)
{
    const ApiRequest &request = call.request;
    sendCommand(
        call,
        [&](Tpa &tpa, const QString &terminalId) {
            tpa.setTpaRefund(terminalId, request.tpaId, request.datetime, request.amount);
        },
        ReplyText::refundSent(), request.amount);
}

void PrintClientRequestHandler::sendTpaOpenMenu(Call &call)
{
    sendCommand(call, &Tpa::setTpaOpenMenu, ReplyText::menuSent());
}

void PrintClientRequestHandler::sendTpaReprintLastReceipt(Call &call)
{
    sendCommand(call, &Tpa::setTpaReprintLastReceipt, ReplyText::reprintSent());
}
