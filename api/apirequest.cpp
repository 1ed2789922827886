#include "apirequest.h"

#include "httprequest.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <climits>
#include <cmath>
#include <utility>

namespace {

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

// A text of 1 to 128 printable ASCII characters.
bool isValidRequestId(const QString &requestId)
{
    if (requestId.isEmpty() || requestId.size() > 128)
        return false;
    for (const QChar c : requestId) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

// The key carried by an "Authorization" value, or empty.
QString bearerKey(const QString &authorization)
{
    if (authorization.isEmpty() || !authorization.contains(QLatin1String("Bearer")))
        return QString();
    const QStringList pieces = authorization.split(QLatin1Char(' '));
    return pieces.size() == 2 ? pieces.at(1) : QString();
}

// The text members that both forms carry under the same names.
const std::pair<const char *, QString ApiRequest::*> textMembers[]
    = { { "printer", &ApiRequest::printer }, { "tpa_port", &ApiRequest::tpaPort },
          { "terminal_tpa_id", &ApiRequest::terminalTpaId }, { "tpa_id", &ApiRequest::tpaId },
          { "datetime", &ApiRequest::datetime }, { "amount", &ApiRequest::amount },
          { "from", &ApiRequest::from }, { "to", &ApiRequest::to }, { "kind", &ApiRequest::kind } };

void decodeJson(const HttpRequest &request, ApiRequest &decoded)
{
    const QByteArray raw = request.getBody();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(raw, &error);
    if (error.error != QJsonParseError::NoError && !raw.isEmpty()) {
        decoded.invalidJson = true;
        return;
    }
    const QJsonObject &body = decoded.body = document.object();
    if (decoded.key.isEmpty())
        decoded.key = member(body, "securityKey");
    for (const auto &[name, field] : textMembers)
        decoded.*field = member(body, name);
    const QJsonValue id = body.value(QStringLiteral("jobId"));
    decoded.jobId = id.isString() ? id.toString().toInt(nullptr, 10) : wholeNumber(id);
    // Whole numbers only; a value too large for any integer type still counts.
    const QJsonValue notifications = body.value(QStringLiteral("with_notifications"));
    const double count = notifications.toDouble();
    decoded.withNotifications = notifications.isDouble() && count > 0 && std::floor(count) == count;
    decoded.job = body.value(QStringLiteral("job")).toArray();
    const QJsonValue requestId = body.value(QStringLiteral("requestId"));
    decoded.requestId = requestId.toString();
    decoded.requestIdValid = requestId.isUndefined() || requestId.isNull()
        || (requestId.isString() && (decoded.requestId.isEmpty() || isValidRequestId(decoded.requestId)));
}

void decodeForm(const HttpRequest &request, ApiRequest &decoded)
{
    const auto parameter = [&](const char *name) { return ApiRequest::text(request.getParameter(name)); };
    if (decoded.key.isEmpty())
        decoded.key = parameter("securityKey");
    for (const auto &[name, field] : textMembers)
        decoded.*field = parameter(name);
    decoded.jobId = parameter("jobId").toInt(nullptr, 10);
    bool ok = false;
    const int count = parameter("with_notifications").toInt(&ok, 10);
    decoded.withNotifications = ok && count > 0;
    const QJsonDocument job = QJsonDocument::fromJson(parameter("job").toUtf8());
    decoded.jobWellFormed = job.isArray();
    decoded.job = job.array();
    decoded.requestId = parameter("requestId");
    decoded.requestIdValid = decoded.requestId.isEmpty() || isValidRequestId(decoded.requestId);
    for (const char *name : { "request_id", "terminal_id", "status_id" })
        decoded.body.insert(QLatin1String(name), parameter(name).toInt(nullptr, 10));
    for (const char *name : { "title", "subtitle", "lastModifiedBy", "date" })
        decoded.body.insert(QLatin1String(name), parameter(name));
}

} // namespace

ApiRequest ApiRequest::decode(const HttpRequest &request)
{
    ApiRequest decoded = decodeHead(request);
    if (decoded.json)
        decodeJson(request, decoded);
    else
        decodeForm(request, decoded);
    return decoded;
}

ApiRequest ApiRequest::decodeHead(const HttpRequest &request)
{
    ApiRequest decoded;
    decoded.route = pathOf(request);
    if (decoded.route.size() > 1 && decoded.route.endsWith('/'))
        decoded.route.chop(1);
    decoded.origin = request.getHeader("Origin");
    decoded.key = bearerKey(text(request.getHeader("Authorization")));
    const QString contentType = text(request.getHeader("Content-Type"));
    decoded.json = contentType.contains(QLatin1String("application/json"));
    return decoded;
}

QByteArray ApiRequest::pathOf(const HttpRequest &request)
{
    // Until the request is complete its raw path still holds the query string.
    const QByteArray &raw = request.getRawPath();
    const int question = raw.indexOf('?');
    return HttpRequest::urlDecode(question < 0 ? raw : raw.left(question));
}

QString ApiRequest::text(const QByteArray &value)
{
    const int nul = value.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? value : value.left(nul));
}
