#include "printclientrequesthandler.h"

#include "apibackend.h"
#include "httprequest.h"
#include "httpresponse.h"
#include "notification.h"
#include "printer.h"
#include "tpa.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QLocale>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QRegularExpression>

#include <climits>
#include <cmath>
#include <functional>

namespace {

// The maker's web domains, main domain first; an origin on one of them (or a subdomain) may
// read the API's replies.
const char *const allowedDomains[]
    = { "tesmar.pt", "tesmar.es", "tesmar.com", "tesmar.co.ao", "tesmar.com.br" };
const QByteArray defaultOrigin = QByteArrayLiteral("https://www.tesmar.pt");

Q_LOGGING_CATEGORY(activity, "varnel.api", QtInfoMsg)

// The start page in one language: the same page throughout, only its words change.
QString startPage(const QString &language, const QString &text, const QString &link)
{
    return QStringLiteral(
        "<!DOCTYPE html><html lang=\"%1\"><head><title>Varnel</title><meta charset=\"utf-8\">"
        "<style>body { font-family: Helvetica, Verdana, Arial, sans-serif; }</style></head>"
        "<body><h1>Varnel</h1><p>%2<a href=\"https://www.tesmar.pt/suporte/index.php?"
        "action=getFaqDetail&amp;id=306\">%3</a>.</p></body></html>")
        .arg(language, text, link);
}

// The start page for a request's "Accept-Language": of the ranges listed, the one wanted most
// that has a page (the first listed wins a tie); Portuguese, the page it always was, when none has.
QString startPageFor(const QString &acceptLanguage)
{
    QString chosen;
    double chosenWeight = 0;
    for (const QString &range : acceptLanguage.split(QLatin1Char(','))) {
        const QStringList parts = range.split(QLatin1Char(';'));
        const QString tag = parts.first().trimmed().toLower();
        double weight = 1;
        for (const QString &parameter : parts.mid(1)) {
            const QString name = parameter.section(QLatin1Char('='), 0, 0).trimmed();
            if (name == QLatin1String("q"))
                weight = parameter.section(QLatin1Char('='), 1).trimmed().toDouble();
        }
        const QString primary = tag.section(QLatin1Char('-'), 0, 0);
        QString page;
        if (tag == QLatin1String("pt-br"))
            page = QStringLiteral("pt-BR");
        else if (primary == QLatin1String("pt") || primary == QLatin1String("es")
            || primary == QLatin1String("en"))
            page = primary;
        if (!page.isEmpty() && weight > chosenWeight) {
            chosen = page;
            chosenWeight = weight;
        }
    }
    if (chosen == QLatin1String("pt-BR"))
        return startPage(chosen,
            QStringLiteral(
                "Para mais informações sobre a configuração de impressoras de cupom no Tesmar, consulte "),
            QStringLiteral("a documentação <em>online</em>"));
    if (chosen == QLatin1String("es"))
        return startPage(chosen,
            QStringLiteral("Para más información sobre la configuración de impresoras de tickets en Tesmar, "
                           "consulta "),
            QStringLiteral("la documentación <em>en línea</em>"));
    if (chosen == QLatin1String("en"))
        return startPage(chosen, QStringLiteral("For more about setting up receipt printers in Tesmar, see "),
            QStringLiteral("the <em>online</em> documentation"));
    return startPage(QStringLiteral("pt"),
        QStringLiteral(
            "Para mais informações sobre a configuração de impressoras de talões no Tesmar, consulte "),
        QStringLiteral("a documentação <em>online</em>"));
}

// Header and parameter values are UTF-8; a NUL ends them.
QString text(const QByteArray &value)
{
    const int nul = value.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? value : value.left(nul));
}

QString member(const QJsonObject &body, const char *name)
{
    const QJsonValue value = body.value(QLatin1String(name));
    return value.isString() ? value.toString() : QString();
}

// A JSON number that is a whole number within int range, else 0.
int wholeNumber(const QJsonValue &value)
{
    const double number = value.toDouble();
    return value.isDouble() && std::floor(number) == number && std::fabs(number) <= INT_MAX ? int(number) : 0;
}

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

const QString tpaBusy = QStringLiteral("VRL1001|M10|TPA already busy");

// One line for support per print job and per terminal command, with its outcome: which device,
// for which point of sale and amount, and the reply's message. Never the key, and never what a
// receipt says; the caller's values are cut short.
void logActivity(const QByteArray &route, const QString &printer, const QString &port,
    const QString &terminalId, const QString &amount, const QJsonObject &result)
{
    const auto shown = [](const QString &value) { return value.left(64).toUtf8(); };
    const QString outcome
        = result
              .value(result.value(QStringLiteral("status")).toBool() ? QLatin1String("data")
                                                                     : QLatin1String("error"))
              .toString();
    if (route == "/sendJob")
        qCInfo(activity, "print job on \"%s\": %s", shown(printer).constData(), shown(outcome).constData());
    else if (route.startsWith("/sendTpa"))
        qCInfo(activity, "%s on \"%s\" for \"%s\"%s%s: %s", route.constData() + 1, shown(port).constData(),
            shown(terminalId).constData(), amount.isEmpty() ? "" : ", amount ", shown(amount).constData(),
            shown(outcome).constData());
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
    const QString origin = text(value);
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

QString PrintClientRequestHandler::bearerKey(const QString &authorization)
{
    if (authorization.isEmpty() || !authorization.contains(QLatin1String("Bearer")))
        return QString();
    const QStringList pieces = authorization.split(QLatin1Char(' '));
    return pieces.size() == 2 ? pieces.at(1) : QString();
}

void PrintClientRequestHandler::service(HttpRequest &request, HttpResponse &response)
{
    const QByteArray origin = request.getHeader("Origin");
    const QString contentType = text(request.getHeader("Content-Type"));
    QString key = bearerKey(text(request.getHeader("Authorization")));

    QJsonObject result;
    QJsonObject body;
    QString printer, tpaPort, terminalTpaId, tpaId, datetime, amount;
    int jobId = 0;
    bool withNotifications = false;
    const bool jsonMode = !contentType.isEmpty() && contentType.contains(QLatin1String("application/json"));
    if (jsonMode) {
        const QByteArray raw = request.getBody();
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(raw, &error);
        if (error.error != QJsonParseError::NoError && !raw.isEmpty()) {
            fail(result, QStringLiteral("Invalid Json"));
        } else {
            body = document.object();
            if (key.isEmpty())
                key = member(body, "securityKey");
            printer = member(body, "printer");
            tpaPort = member(body, "tpa_port");
            terminalTpaId = member(body, "terminal_tpa_id");
            tpaId = member(body, "tpa_id");
            datetime = member(body, "datetime");
            amount = member(body, "amount");
            const QJsonValue id = body.value(QStringLiteral("jobId"));
            jobId = id.isString() ? id.toString().toInt(nullptr, 10) : wholeNumber(id);
            // Whole numbers only; a value too large for any integer type still counts.
            const QJsonValue notifications = body.value(QStringLiteral("with_notifications"));
            const double count = notifications.toDouble();
            withNotifications = notifications.isDouble() && count > 0 && std::floor(count) == count;
        }
    } else {
        if (key.isEmpty())
            key = text(request.getParameter("securityKey"));
        printer = text(request.getParameter("printer"));
        tpaPort = text(request.getParameter("tpa_port"));
        terminalTpaId = text(request.getParameter("terminal_tpa_id"));
        tpaId = text(request.getParameter("tpa_id"));
        datetime = text(request.getParameter("datetime"));
        amount = text(request.getParameter("amount"));
        jobId = text(request.getParameter("jobId")).toInt(nullptr, 10);
        bool ok = false;
        const int count = text(request.getParameter("with_notifications")).toInt(&ok, 10);
        withNotifications = ok && count > 0;
    }

    response.setHeader("Access-Control-Allow-Origin", allowedOrigin(origin));
    response.setHeader("Vary", "Origin");

    const QByteArray path = request.getPath();
    if (path == "/") {
        root(request, response);
        return;
    }

    response.setHeader("Content-Type", "application/json; charset=UTF-8");

    if (result.isEmpty()) {
        if (request.getMethod().contains("OPTIONS")) {
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

        const QByteArray admitted = allowedOrigin(origin);
        if (!origin.isEmpty() && admitted != text(origin).toUtf8()) {
            // A browser withholds the reply from such a page, but a form post still arrives:
            // nothing is done for it.
            fail(result, QStringLiteral("Origin not allowed"));
            response.setStatus(403, "Forbidden");
        } else if (!sameKey(key, m_printClient ? m_printClient->securityKey() : QString())) {
            fail(result, QStringLiteral("Invalid security key"));
            response.setStatus(401, "Unauthorized");
        } else {
            QByteArray route = path;
            if (route.size() > 1 && route.endsWith('/'))
                route.chop(1);
            if (route == "/getPrinters") {
                getPrinters(result);
            } else if (route == "/getPrinterStatus") {
                getPrinterStatus(result, printer);
            } else if (route == "/sendJob") {
                if (jsonMode)
                    sendJob(result, printer, body.value(QStringLiteral("job")).toArray());
                else
                    sendJob(result, printer, text(request.getParameter("job")));
            } else if (route == "/getJobStatus") {
                getJobStatus(result, printer, jobId);
            } else if (route == "/previewJob") {
                if (jsonMode)
                    previewJob(result, printer, body.value(QStringLiteral("job")).toArray());
                else
                    previewJob(result, printer, text(request.getParameter("job")));
            } else if (route == "/setNotificationOrder") {
                if (jsonMode) {
                    setNotificationOrder(result, body);
                } else {
                    QJsonObject record;
                    for (const char *name : { "request_id", "terminal_id", "status_id" })
                        record.insert(
                            QLatin1String(name), text(request.getParameter(name)).toInt(nullptr, 10));
                    for (const char *name : { "title", "subtitle", "lastModifiedBy", "date" })
                        record.insert(QLatin1String(name), text(request.getParameter(name)));
                    setNotificationOrder(result, record);
                }
            } else if (route == "/getStatus") {
                getStatus(result, withNotifications);
            } else if (route == "/getTpas") {
                getTpas(result);
            } else if (route == "/getTpaStatus") {
                getTpaStatus(result, tpaPort, terminalTpaId);
            } else if (route == "/getTpaTransactionStatus") {
                getTpaTransactionStatus(result, tpaPort, terminalTpaId);
            } else if (route == "/clearTpaTransactionStatus") {
                clearTpaTransactionStatus(result, tpaPort, terminalTpaId);
            } else if (route == "/sendTpaOpen") {
                sendTpaOpen(result, tpaPort, terminalTpaId);
            } else if (route == "/sendTpaClose") {
                sendTpaClose(result, tpaPort, terminalTpaId);
            } else if (route == "/sendTpaPurchase") {
                sendTpaPurchase(result, tpaPort, terminalTpaId, amount);
            } else if (route == "/sendTpaRefund") {
                sendTpaRefund(result, tpaPort, terminalTpaId, tpaId, datetime, amount);
            } else if (route == "/sendTpaOpenMenu") {
                sendTpaOpenMenu(result, tpaPort, terminalTpaId);
            } else if (route == "/sendTpaReprintLastReceipt") {
                sendTpaReprintLastReceipt(result, tpaPort, terminalTpaId);
            } else {
                fail(result, QStringLiteral("Not found"));
                response.setStatus(404, "Not found");
            }
            logActivity(route, printer, tpaPort, terminalTpaId, amount, result);
        }
    }

    response.write(QJsonDocument(result).toJson(), true);
}

void PrintClientRequestHandler::root(HttpRequest &request, HttpResponse &response)
{
    response.setHeader("Content-Type", "text/html; charset=UTF-8");
    response.write(startPageFor(text(request.getHeader("Accept-Language"))).toUtf8(), true);
}

void PrintClientRequestHandler::getPrinters(QJsonObject &result)
{
    QJsonArray names;
    for (const QSharedPointer<Printer> &printer : m_printClient->printerList()) {
        if (printer->available())
            names << printer->name();
    }
    succeed(result, names);
}

namespace {

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

} // namespace

void PrintClientRequestHandler::getPrinterStatus(QJsonObject &result, QString printer)
{
    const QSharedPointer<Printer> found = findPrinter(m_printClient->printerList(), printer);
    PrinterStatus status;
    QString error;
    if (!found) {
        fail(result, QStringLiteral("Printer not found"));
    } else {
        switch (found->readStatus(&status, &error)) {
        case Printer::Reading::Read:
            succeed(result, status.ready());
            result.insert(QStringLiteral("state"), status.stateName());
            result.insert(QStringLiteral("accepting"), status.accepting);
            result.insert(QStringLiteral("reasons"), QJsonArray::fromStringList(status.reasons));
            result.insert(QStringLiteral("queuedJobs"), status.queuedJobs);
            break;
        case Printer::Reading::Missing:
            // Gone from the system since the last refresh: not ready, as it has always said.
            succeed(result, false);
            break;
        case Printer::Reading::NoAnswer:
            fail(result, error);
            break;
        }
    }
    result.insert(QStringLiteral("version"), m_printClient->curVersion());
    result.insert(QStringLiteral("device"), m_printClient->device());
}

void PrintClientRequestHandler::sendJob(QJsonObject &result, QString printer, QJsonArray job)
{
    const QSharedPointer<Printer> found = findPrinter(m_printClient->printerList(), printer);
    if (!found) {
        fail(result, QStringLiteral("Printer not found"));
        return;
    }
    PrinterStatus status;
    QString error;
    const Printer::Reading reading = found->readStatus(&status, &error);
    if (reading == Printer::Reading::NoAnswer) {
        fail(result, error);
        return;
    }
    if (reading == Printer::Reading::Missing || !status.ready()) {
        fail(result, QStringLiteral("Printer offline or in error state"));
        return;
    }
    if (job.isEmpty()) {
        fail(result, QStringLiteral("Job is empty"));
        return;
    }
    const int jobId = found->print(job, m_printClient->compatibilityMode(), &error);
    if (jobId <= 0) {
        fail(result, error.isEmpty() ? QStringLiteral("Error printing job") : error);
        return;
    }
    m_printClient->watchJob(found->name(), jobId);
    succeed(result, QStringLiteral("Job completed successfully"));
    result.insert(QStringLiteral("jobId"), jobId);
}

void PrintClientRequestHandler::getJobStatus(QJsonObject &result, QString printer, int jobId)
{
    const QSharedPointer<Printer> found = findPrinter(m_printClient->printerList(), printer);
    if (!found) {
        fail(result, QStringLiteral("Printer not found"));
        return;
    }
    JobStatus job;
    PrinterStatus status;
    QString error;
    if (found->readJob(jobId, &job, &error) != Printer::Reading::Read
        || found->readStatus(&status, &error) == Printer::Reading::NoAnswer) {
        fail(result, error);
        return;
    }
    succeed(result, job.stateName());
    result.insert(QStringLiteral("reasons"), QJsonArray::fromStringList(job.reasons));
    result.insert(QStringLiteral("printerReasons"), QJsonArray::fromStringList(status.reasons));
}

void PrintClientRequestHandler::sendJob(QJsonObject &result, QString printer, QString job)
{
    const QJsonDocument document = QJsonDocument::fromJson(job.toUtf8());
    if (!document.isArray()) {
        fail(result, QStringLiteral("Job with incorrect format"));
        return;
    }
    sendJob(result, printer, document.array());
}

void PrintClientRequestHandler::previewJob(QJsonObject &result, QString printer, QJsonArray job)
{
    if (!printer.isEmpty() && !findPrinter(m_printClient->printerList(), printer)) {
        fail(result, QStringLiteral("Printer not found"));
        return;
    }
    if (job.isEmpty()) {
        fail(result, QStringLiteral("Job is empty"));
        return;
    }
    QString error;
    QSize size;
    const QByteArray png = Printer::preview(job, m_printClient->compatibilityMode(), &size, &error);
    if (png.isEmpty()) {
        fail(result, error);
        return;
    }
    succeed(result, QString::fromLatin1(png.toBase64()));
    result.insert(QStringLiteral("width"), size.width());
    result.insert(QStringLiteral("height"), size.height());
}

void PrintClientRequestHandler::previewJob(QJsonObject &result, QString printer, QString job)
{
    const QJsonDocument document = QJsonDocument::fromJson(job.toUtf8());
    if (!document.isArray()) {
        fail(result, QStringLiteral("Job with incorrect format"));
        return;
    }
    previewJob(result, printer, document.array());
}

void PrintClientRequestHandler::getStatus(QJsonObject &result, bool withNotifications)
{
    succeed(result, QStringLiteral("Device online"));
    if (!withNotifications)
        return;
    QJsonArray notifications;
    for (const QSharedPointer<Notification> &notification : m_printClient->notifications())
        notifications << notification->toJSON();
    result.insert(QStringLiteral("notifications"), notifications);
}

void PrintClientRequestHandler::setNotificationOrder(QJsonObject &result, QJsonObject notification)
{
    Notification *record = notification.isEmpty() ? nullptr : Notification::fromJSON(notification);
    if (!record) {
        result.insert(QStringLiteral("status"), false);
        result.insert(QStringLiteral("data"), QStringLiteral("Error receiving notification"));
        return;
    }
    m_printClient->addNotification(record);
    succeed(result, QStringLiteral("Notification received"));
}

void PrintClientRequestHandler::getTpas(QJsonObject &result)
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
    succeed(result, tpas);
}

namespace {

// The enabled terminal on `port`, or null with the reply already set.
QSharedPointer<Tpa> findTpa(
    ApiBackend *client, QJsonObject &result, const QString &port, const QString &terminalId)
{
    if (!Tpa::isValidTerminalId(terminalId)) {
        fail(result,
            QStringLiteral("VRL1001|M23|terminal_tpa_id longer than %1 characters")
                .arg(Tpa::maxTerminalIdLength));
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
        fail(result, QStringLiteral("VRL1001|M21|TPA not found"));
        return {};
    }
    if (!found->state()) {
        fail(result, QStringLiteral("VRL1001|M22|TPA offline or in error state"));
        return {};
    }
    return found;
}

void sendCommand(ApiBackend *client, QMutex &mutex, QJsonObject &result, const QString &port,
    const QString &terminalId, const std::function<void(Tpa &)> &build, const QString &sent)
{
    const QMutexLocker locker(&mutex);
    const QSharedPointer<Tpa> tpa = findTpa(client, result, port, terminalId);
    if (!tpa)
        return;
    if (tpa->isInTransaction()) {
        succeed(result, tpaBusy);
        return;
    }
    build(*tpa);
    succeed(result, sent);
}

QJsonArray texts(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

} // namespace

void PrintClientRequestHandler::getTpaStatus(QJsonObject &result, QString port, QString terminalId)
{
    if (const QSharedPointer<Tpa> tpa = findTpa(m_printClient, result, port, terminalId)) {
        const QString status = tpa->lastStatus(terminalId);
        if (status.isEmpty())
            fail(result, QStringLiteral("VRL1001|M98|TPA status not found"));
        else if (status.startsWith(QLatin1String("VRL1001|M99"))) {
            result.insert(QStringLiteral("status"), false);
            result.insert(QStringLiteral("data"), status);
        } else
            succeed(result, status);
    }
    result.insert(QStringLiteral("version"), m_printClient->curVersion());
    result.insert(QStringLiteral("device"), m_printClient->device());
}

void PrintClientRequestHandler::getTpaTransactionStatus(QJsonObject &result, QString port, QString terminalId)
{
    if (const QSharedPointer<Tpa> tpa = findTpa(m_printClient, result, port, terminalId))
        succeed(result, texts(tpa->lastTransactionStatus(terminalId)));
}

void PrintClientRequestHandler::clearTpaTransactionStatus(
    QJsonObject &result, QString port, QString terminalId)
{
    const QMutexLocker locker(&m_mutex);
    const QSharedPointer<Tpa> tpa = findTpa(m_printClient, result, port, terminalId);
    if (!tpa)
        return;
    if (tpa->isInTransaction())
        succeed(result, tpaBusy);
    else
        succeed(result, texts(tpa->clearLastTransactionStatus(terminalId)));
}

void PrintClientRequestHandler::sendTpaOpen(QJsonObject &result, QString port, QString terminalId)
{
    sendCommand(
        m_printClient, m_mutex, result, port, terminalId, [&](Tpa &tpa) { tpa.setTpaOpen(terminalId); },
        QStringLiteral("VRL0000|M00|TPA open command sent"));
}

void PrintClientRequestHandler::sendTpaClose(QJsonObject &result, QString port, QString terminalId)
{
    sendCommand(
        m_printClient, m_mutex, result, port, terminalId, [&](Tpa &tpa) { tpa.setTpaClose(terminalId); },
        QStringLiteral("VRL0000|M00|TPA close command sent"));
}

void PrintClientRequestHandler::sendTpaPurchase(
    QJsonObject &result, QString port, QString terminalId, QString amount)
{
    sendCommand(
        m_printClient, m_mutex, result, port, terminalId,
        [&](Tpa &tpa) { tpa.setTpaPurchase(terminalId, amount); },
        QStringLiteral("VRL0000|M00|TPA purchase command sent"));
}

void PrintClientRequestHandler::sendTpaRefund(
    QJsonObject &result, QString port, QString terminalId, QString tpaId, QString dateTime, QString amount)
{
    sendCommand(
        m_printClient, m_mutex, result, port, terminalId,
        [&](Tpa &tpa) { tpa.setTpaRefund(terminalId, tpaId, dateTime, amount); },
        QStringLiteral("VRL0000|M00|TPA refund command sent"));
}

void PrintClientRequestHandler::sendTpaOpenMenu(QJsonObject &result, QString port, QString terminalId)
{
    sendCommand(
        m_printClient, m_mutex, result, port, terminalId, [&](Tpa &tpa) { tpa.setTpaOpenMenu(terminalId); },
        QStringLiteral("VRL0000|M00|TPA menu open command sent"));
}

void PrintClientRequestHandler::sendTpaReprintLastReceipt(
    QJsonObject &result, QString port, QString terminalId)
{
    sendCommand(
        m_printClient, m_mutex, result, port, terminalId,
        [&](Tpa &tpa) { tpa.setTpaReprintLastReceipt(terminalId); },
        QStringLiteral("VRL0000|M00|TPA reprint last receipt command sent"));
}
