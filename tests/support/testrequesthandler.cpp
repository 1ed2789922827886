#include "testrequesthandler.h"

#include "httprequest.h"
#include "httpresponse.h"

#include <QThread>

#include <stdexcept>

TestRequestHandler::TestRequestHandler(QObject *parent)
    : HttpRequestHandler(parent)
{ }

void TestRequestHandler::service(HttpRequest &request, HttpResponse &response)
{
    const QByteArray path = request.getRawPath();
    {
        QMutexLocker locker(&mutex);
        paths.append(path);
    }
    response.setHeader("X-Handler", QByteArray::number(quintptr(QThread::currentThread()), 16));

    if (path == "/chunked") {
        response.write("ab");
        response.write("cde", true);
    } else if (path == "/close-raw") {
        response.setHeader("Connection", "close");
        response.write("ab");
        response.write("cde", true);
    } else if (path == "/throw") {
        throw std::runtime_error("handler failure");
    } else if (path == "/throw-after-part") {
        response.write("ab");
        throw std::runtime_error("handler failure");
    } else if (path == "/big") {
        int remaining = request.getParameter("size").toInt();
        while (remaining > 0) {
            const int part = qMin(remaining, 65536);
            response.write(QByteArray(part, 'x'));
            remaining -= part;
        }
        response.write(QByteArray(), true);
    } else {
        response.write(path, true);
    }
}

QByteArrayList TestRequestHandler::servedPaths() const
{
    QMutexLocker locker(&mutex);
    return paths;
}
