#pragma once

#include "httprequesthandler.h"

#include <QAtomicInt>
#include <QByteArrayList>
#include <QMutex>

// A request handler for the server tests; the path chooses what it does:
//   /chunked           "ab" then "cde" as the last part (chunked)
//   /close-raw         header "Connection: close", then "ab" and "cde" (raw body, closed)
//   /throw             throws before writing anything
//   /throw-after-part  writes "ab" (not last), then throws
//   /big?size=N        N bytes of 'x' in parts of 65536, then an empty last part
//   anything else      the raw path as the body, in one last part
// Every response carries "X-Handler", the address of the thread that served it.
class TestRequestHandler : public HttpRequestHandler
{
    Q_OBJECT
public:
    explicit TestRequestHandler(QObject *parent = nullptr);

    void service(HttpRequest &request, HttpResponse &response) override;

    QByteArrayList servedPaths() const;

private:
    mutable QMutex mutex;
    // Guarded by mutex.
    QByteArrayList paths;
};
