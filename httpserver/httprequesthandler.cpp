#include "httprequesthandler.h"

#include "httplog.h"
#include "httprequest.h"
#include "httpresponse.h"

HttpRequestHandler::HttpRequestHandler(QObject *parent)
    : QObject(parent)
{
}

void HttpRequestHandler::service(HttpRequest &request, HttpResponse &response)
{
    qCCritical(lcHttp, "service() is not overridden");
    qCDebug(lcHttp, "unserved request %s %s %s", request.getMethod().constData(),
        request.getPath().constData(), request.getVersion().constData());
    response.setStatus(501, "not implemented");
    response.write("501 not implemented", true);
}
