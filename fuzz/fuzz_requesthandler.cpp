// Feeds arbitrary bytes as one HTTP request to the API's dispatcher, with a controller that has no
// devices and no key, so every route runs: header and key parsing, JSON and form bodies, the origin
// policy, request ids and the journal's queries, and the endpoints down to the notification records;
// a reply given from a request's head alone must be the one its whole request gets.
#include "httprequest.h"
#include "httpresponse.h"
#include "httpserverconfig.h"
#include "printclient.h"
#include "printclientrequesthandler.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QSettings>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Fixture
{
    Fixture()
    {
        qInstallMessageHandler(quiet);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        limits.maxRequestSize = 65536;
        limits.maxMultiPartSize = 65536;
        handler.setPrintClient(&client);
    }

    QTemporaryDir dir;
    // The journal of request ids goes where the controller finds its data folder.
    const bool dataHome = qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    HttpServerConfig limits;
    PrintClient client;
    PrintClientRequestHandler handler;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_requesthandler";
    static char *argv[] = { name, nullptr };
    // Never destroyed: torn down at exit, Qt's network bearer thread would outlive its manager.
    static auto *app = new QCoreApplication(argc, argv);
    static auto *fixtureObject = new Fixture;
    Q_UNUSED(app);
    Fixture &fixture = *fixtureObject;

    QByteArray stream(reinterpret_cast<const char *>(data), int(size));
    QBuffer device(&stream);
    device.open(QIODevice::ReadOnly);
    HttpRequest request(fixture.limits);
    // A socket that was never opened: the reply is built in full and written nowhere.
    QTcpSocket socket;
    // The reply given from the head alone, before the body, if any.
    int early = 0;
    while (device.bytesAvailable() > 0 && request.getStatus() != HttpRequest::complete
        && request.getStatus() != HttpRequest::aborted) {
        const HttpRequest::RequestStatus before = request.getStatus();
        request.readFromSocket(&device);
        if (before != HttpRequest::waitingForBody && request.getStatus() == HttpRequest::waitingForBody) {
            HttpResponse head(&socket);
            if (fixture.handler.answerBeforeBody(request, head)) {
                check(head.hasSentLastPart());
                early = head.getStatusCode();
            }
        }
    }
    if (request.getStatus() != HttpRequest::complete)
        return 0;

    HttpResponse response(&socket);
    fixture.handler.service(request, response);
    // No body may change a reply given from the head.
    check(early == 0 || early == response.getStatusCode());

    check(response.hasSentLastPart());
    const int status = response.getStatusCode();
    check(status == 200 || status == 401 || status == 403 || status == 404);
    const QMap<QByteArray, QByteArray> &headers = response.getHeaders();
    check(headers.value("Vary") == "Origin");
    const QByteArray origin = headers.value("Access-Control-Allow-Origin");
    check(!origin.isEmpty());
    for (const char c : origin)
        check(c > 0x20 && c < 0x7f);
    check(origin == "https://www.tesmar.pt" || request.getHeader("Origin").startsWith(origin));

    // Records dropped from the notification list are released on the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    check(fixture.client.notifications().size() <= 20);
    return 0;
}
