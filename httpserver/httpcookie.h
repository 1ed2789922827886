#pragma once

#include <QByteArray>
#include <QList>

// One cookie: rendered as the value of a "Set-Cookie" header, or parsed back from such a text.
class HttpCookie
{
public:
    HttpCookie();
    HttpCookie(const QByteArray &name, const QByteArray &value, int maxAge,
        const QByteArray &path = QByteArray(), const QByteArray &comment = QByteArray(),
        const QByteArray &domain = QByteArray(), bool secure = false, bool httpOnly = false);
    explicit HttpCookie(const QByteArray &source);

    QByteArray toByteArray() const;

    void setName(const QByteArray &name);
    void setValue(const QByteArray &value);
    void setComment(const QByteArray &comment);
    void setDomain(const QByteArray &domain);
    void setMaxAge(int maxAge);
    void setPath(const QByteArray &path);
    void setSecure(bool secure);
    void setHttpOnly(bool httpOnly);

    QByteArray getName() const;
    QByteArray getValue() const;
    QByteArray getComment() const;
    QByteArray getDomain() const;
    int getMaxAge() const;
    QByteArray getPath() const;
    bool getSecure() const;
    bool getHttpOnly() const;
    int getVersion() const;

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
