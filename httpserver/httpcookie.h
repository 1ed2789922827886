#pragma once

#include <QByteArray>
#include <QList>

// One cookie: rendered as the value of a "Set-Cookie" header, or parsed back from such a text.
class HttpCookie
{
public:
    HttpCookie() = default;
    HttpCookie(const QByteArray &name, const QByteArray &value, int maxAge,
        const QByteArray &path = QByteArray(), const QByteArray &comment = QByteArray(),
        const QByteArray &domain = QByteArray(), bool secure = false, bool httpOnly = false);
    explicit HttpCookie(const QByteArray &source);

    QByteArray toByteArray() const;

    void setName(const QByteArray &name) { this->name = name; }
    void setValue(const QByteArray &value) { this->value = value; }
    void setComment(const QByteArray &comment) { this->comment = comment; }
    void setDomain(const QByteArray &domain) { this->domain = domain; }
    void setMaxAge(int maxAge) { this->maxAge = maxAge; }
    void setPath(const QByteArray &path) { this->path = path; }
    void setSecure(bool secure) { this->secure = secure; }
    void setHttpOnly(bool httpOnly) { this->httpOnly = httpOnly; }

    QByteArray getName() const { return name; }
    QByteArray getValue() const { return value; }
    QByteArray getComment() const { return comment; }
    QByteArray getDomain() const { return domain; }
    int getMaxAge() const { return maxAge; }
    QByteArray getPath() const { return path; }
    bool getSecure() const { return secure; }
    bool getHttpOnly() const { return httpOnly; }
    int getVersion() const { return version; }

    // Splits at ";" outside double quotes; the quotes are dropped, commas do not separate.
    static QList<QByteArray> splitCSV(const QByteArray &source);

private:
    QByteArray name;
    QByteArray value;
    QByteArray comment;
    QByteArray domain;
    int maxAge = 0;
    QByteArray path;
    bool secure = false;
    bool httpOnly = false;
    int version = 1;
};
