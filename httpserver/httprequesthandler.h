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
    // Called once a request's head is complete and before its body is read. A handler that can
    // already tell the reply, one no body could change, may write it and return true: the body is
    // then thrown away as it arrives, never kept, and the connection closed. Any thread.
    virtual bool answerBeforeBody(const HttpRequest &, HttpResponse &) { return false; }
};
