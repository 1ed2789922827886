#include "httpcookie.h"

#include "httplog.h"

HttpCookie::HttpCookie(const QByteArray &name, const QByteArray &value, int maxAge, const QByteArray &path,
    const QByteArray &comment, const QByteArray &domain, bool secure, bool httpOnly)
    : name(name)
    , value(value)
    , comment(comment)
    , domain(domain)
    , maxAge(maxAge)
    , path(path)
    , secure(secure)
    , httpOnly(httpOnly)
{
}

HttpCookie::HttpCookie(const QByteArray &source)
{
    const QList<QByteArray> parts = splitCSV(source);
    for (const QByteArray &part : parts) {
        QByteArray attribute;
        QByteArray attributeValue;
        const int equals = part.indexOf('=');
        if (equals > 0) {
            attribute = part.left(equals).trimmed();
            attributeValue = part.mid(equals + 1).trimmed();
        } else {
            attribute = part.trimmed();
        }
        if (attribute == "Comment") {
            comment = attributeValue;
        } else if (attribute == "Domain") {
            domain = attributeValue;
        } else if (attribute == "Max-Age") {
            maxAge = attributeValue.toInt();
        } else if (attribute == "Path") {
            path = attributeValue;
        } else if (attribute == "Secure") {
            secure = true;
        } else if (attribute == "HttpOnly") {
            httpOnly = true;
        } else if (attribute == "Version") {
            version = attributeValue.toInt();
        } else if (name.isEmpty()) {
            name = attribute;
            value = attributeValue;
        } else {
            qCWarning(
                lcHttp, "cookie attribute %s=%s ignored", attribute.constData(), attributeValue.constData());
        }
    }
}

QByteArray HttpCookie::toByteArray() const
{
    QByteArray buffer = name + '=' + value;
    if (!comment.isEmpty())
        buffer += "; Comment=" + comment;
    if (!domain.isEmpty())
        buffer += "; Domain=" + domain;
    if (maxAge != 0)
        buffer += "; Max-Age=" + QByteArray::number(maxAge);
    if (!path.isEmpty())
        buffer += "; Path=" + path;
    if (secure)
        buffer += "; Secure";
    if (httpOnly)
        buffer += "; HttpOnly";
    buffer += "; Version=" + QByteArray::number(version);
    return buffer;
}

QList<QByteArray> HttpCookie::splitCSV(const QByteArray &source)
{
    QList<QByteArray> parts;
    QByteArray buffer;
    bool inQuotes = false;
    for (const char c : source) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';' && !inQuotes) {
            const QByteArray part = buffer.trimmed();
            if (!part.isEmpty())
                parts.append(part);
            buffer.clear();
        } else {
            buffer.append(c);
        }
    }
    const QByteArray part = buffer.trimmed();
    if (!part.isEmpty())
        parts.append(part);
    return parts;
}
