#include "accesspolicy.h"

#include "apirequest.h"
#include "envelope.h"
#include "replytext.h"

#include <QRegularExpression>

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

} // namespace

QByteArray AccessPolicy::allowedOrigin(const QByteArray &value)
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

bool AccessPolicy::refused(
    const ApiRequest &request, bool checkKey, const QString &expected, QJsonObject &result, int &status)
{
    if (!request.origin.isEmpty()
        && allowedOrigin(request.origin) != ApiRequest::text(request.origin).toUtf8()) {
        // A browser withholds the reply from such a page, but a form post still arrives: nothing
        // is done for it.
        Envelope::fail(result, ReplyText::originNotAllowed());
        status = 403;
        return true;
    }
    if (checkKey && !sameKey(request.key, expected)) {
        Envelope::fail(result, ReplyText::invalidKey());
        status = 401;
        return true;
    }
    return false;
}
