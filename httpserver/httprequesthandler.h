#pragma once

#include <QObject>

class HttpRequest;
class HttpResponse;

// Base of the server's request handlers. One instance serves every connection thread, so
// service() runs on several threads at once and must guard whatever state it shares.
class HttpRequestHandler : public QObject
{
    Q_OBJECT
public:
    explicit HttpRequestHandler(QObject *parent = nullptr);

    virtual void service(HttpRequest &request, HttpResponse &response);
};
