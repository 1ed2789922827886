#include "apibackend.h"
#include "httprequest.h"
#include "httpresponse.h"
#include "httpserverconfig.h"
#include "notificationstore.h"
#include "printclientrequesthandler.h"
#include "printer.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace {

const QByteArray defaultOrigin = "https://www.tesmar.pt";

// The program as the handler sees it: a key, two printers of which the user enabled one, no
// terminals, and the program's own notification store.
struct Backend : ApiBackend
{
    QString securityKey() const override { return QStringLiteral("Ab3+/x9Zv4.0"); }
    QList<QSharedPointer<Printer>> printerList() const override { return printers; }
    QList<QSharedPointer<Tpa>> tpaList() const override { return {}; }
    QList<QSharedPointer<Notification>> notifications() const override { return store.records(); }
    void addNotification(Notification *record) override { store.add(record); }
    QString curVersion() const override { return QStringLiteral("410"); }
    QString device() const override { return QStringLiteral("desktop"); }
    bool compatibilityMode() const override { return false; }
    void watchJob(const QString &, int) override { }

    QList<QSharedPointer<Printer>> printers;
    NotificationStore store;
};

struct Reply
{
    int status = 0;
    QByteArray reason;
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;
};

} // namespace

// The request handler in-process, over a backend of the test's own: how a request is decoded
// (JSON or form), the start page, the origin policy, the key and the route table. The routes that
// need CUPS or a terminal run against the real program in tst_printclientrequesthandler.
class tst_ApiRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void requests_data();
    void requests();
    void origins_data();
    void origins();
    void preflight();
    void notifications();

private:
    // The reply to one request given in raw bytes, as it leaves on the connection.
    Reply serve(const QByteArray &raw);
    Reply get(const QByteArray &target, const QList<QPair<QByteArray, QByteArray>> &headers);

    QTemporaryDir m_dir;
    QTcpServer m_server;
    Backend m_backend;
    PrintClientRequestHandler m_handler;
    QHash<QByteArray, QByteArray> m_values; // placeholders of the request table
};

void tst_ApiRequest::initTestCase()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    for (const char *name : { "Receipt", "Hidden" }) {
        PrinterStatus status;
        status.name = QLatin1String(name);
        m_backend.printers << QSharedPointer<Printer>::create(status);
    }
    m_backend.printers.first()->setAvailable(true);
    m_handler.setPrintClient(&m_backend);
    const QByteArray key = m_backend.securityKey().toUtf8();
    m_values = { { "{key}", key }, { "{qkey}", QUrl::toPercentEncoding(QString::fromUtf8(key)) },
        { "|A|", "|Authorization: Bearer " + key + '|' }, { "|J|", "|Content-Type: application/json|" },
        { "|F|", "|Content-Type: application/x-www-form-urlencoded|" } };
}

Reply tst_ApiRequest::serve(const QByteArray &raw)
{
    QBuffer device;
    device.setData(raw);
    device.open(QIODevice::ReadOnly);
    HttpRequest request((HttpServerConfig()));
    while (device.bytesAvailable() > 0 && request.getStatus() != HttpRequest::complete
        && request.getStatus() != HttpRequest::aborted)
        request.readFromSocket(&device);
    Reply reply;
    if (request.getStatus() != HttpRequest::complete)
        return reply;

    QTcpSocket peer;
    peer.connectToHost(m_server.serverAddress(), m_server.serverPort());
    if (!peer.waitForConnected(5000) || !m_server.waitForNewConnection(5000))
        return reply;
    const std::unique_ptr<QTcpSocket> connection(m_server.nextPendingConnection());
    HttpResponse response(connection.get());
    m_handler.service(request, response);
    connection->disconnectFromHost();
    if (connection->state() != QAbstractSocket::UnconnectedState)
        connection->waitForDisconnected(5000);
    QByteArray bytes;
    while (peer.waitForReadyRead(5000))
        bytes += peer.readAll();
    bytes += peer.readAll();

    const int end = bytes.indexOf("\r\n\r\n");
    QList<QByteArray> lines = bytes.left(end).split('\n');
    const QByteArray statusLine = lines.takeFirst().trimmed();
    reply.status = statusLine.split(' ').value(1).toInt();
    reply.reason = statusLine.mid(statusLine.indexOf(' ', 9) + 1);
    for (const QByteArray &line : lines)
        reply.headers.insert(line.left(line.indexOf(':')), line.mid(line.indexOf(':') + 1).trimmed());
    reply.body = bytes.mid(end + 4);
    return reply;
}

Reply tst_ApiRequest::get(const QByteArray &target, const QList<QPair<QByteArray, QByteArray>> &headers)
{
    QByteArray raw = "GET " + target + " HTTP/1.1\r\n";
    for (const auto &header : headers)
        raw += header.first + ": " + header.second + "\r\n";
    return serve(raw + "\r\n");
}

// A request is "METHOD TARGET|header|...|body"; the header A stands for the key in
// "Authorization", J and F for the JSON and form content types. Every reply carries the default
// origin (no row sends one) and "Vary: Origin".
void tst_ApiRequest::requests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    const auto row = [](const char *name, const char *request, int status, const QByteArray &reply) {
        QTest::newRow(name) << QByteArray(request) << status << reply;
    };
    const QByteArray online = R"({"status":true,"data":"Device online"})";
    const QByteArray listed = R"({"status":true,"data":"Device online","notifications":[]})";
    const QByteArray badKey = R"({"status":false,"error":"Invalid security key"})";
    const QByteArray unknown = R"({"status":false,"error":"Not found"})";
    const QByteArray badJson = R"({"status":false,"error":"Invalid Json"})";
    const QByteArray noPrinter = R"({"status":false,"error":"Printer not found"})";
    const QByteArray badFormat = R"({"status":false,"error":"Job with incorrect format"})";
    const QByteArray badNote = R"({"status":false,"data":"Error receiving notification"})";
    const QByteArray noTpa = R"({"status":false,"error":"VRL1001|M21|TPA not found"})";

    // The key: "Bearer", one space and the key; else the body member or parameter "securityKey".
    row("bearer", "GET /getStatus|A|", 200, online);
    row("bearer, two spaces", "GET /getStatus|Authorization: Bearer  {key}|", 401, badKey);
    row("key with a suffix", "GET /getStatus|Authorization: Bearer {key}0|", 401, badKey);
    row("body key", "POST /getStatus|J|{\"securityKey\":\"{key}\"}", 200, online);
    row("header first", "POST /getStatus|Authorization: Bearer x|J|{\"securityKey\":\"{key}\"}", 401, badKey);
    row("query key", "GET /getStatus?securityKey={qkey}|", 200, online);

    // Judged first: the start page, then the JSON, the preflight, the key, the route.
    row("page before JSON", "POST /|J|{\"printer\":", 200, "<html");
    row("JSON before key", "POST /getPrinters|Content-Type: application/json; charset=UTF-8|[", 200, badJson);
    row("preflight before key", "OPTIONS /nowhere|Authorization: Bearer x|", 200, "");
    row("key before route", "GET /nowhere|", 401, badKey);
    row("route last", "GET /nowhere|A|", 404, unknown);
    // The start page in the language the browser wants most of those it has; else Portuguese.
    row("page by weight", "GET /|Accept-Language: de, en;q=0.5, ES;q=0.7|", 200, "<html lang=\"es\">");
    row("page, none of its own", "GET /|Accept-Language: de-DE, en;q=0, *|", 200, "<html lang=\"pt\">");

    // Routes: the path exactly, with at most one trailing slash.
    row("trailing slash", "GET /getStatus/?x=1|A|", 200, online);
    row("two trailing slashes", "GET /getStatus//|A|", 404, unknown);
    row("upper case", "GET /GETSTATUS|A|", 404, unknown);

    // with_notifications: a whole number above 0 (a JSON number, or a parameter).
    row("JSON 1e300", "POST /getStatus|A|J|{\"with_notifications\":1e300}", 200, listed);
    row("JSON 1.5", "POST /getStatus|A|J|{\"with_notifications\":1.5}", 200, online);
    row("form 2", "POST /getStatus|A|F|with_notifications=2", 200, listed);

    // Printers: only those the user enabled exist for the API.
    row("printers", "GET /getPrinters|A|", 200, R"({"status":true,"data":["Receipt"]})");
    row("job, unknown printer", "POST /sendJob|A|J|{\"printer\":\"Hidden\",\"job\":[]}", 200, noPrinter);
    row("form, no job", "POST /sendJob|A|F|printer=Nope", 200, badFormat);
    row("status, unknown printer", "GET /getPrinterStatus?printer=Nope|A|", 200,
        R"({"status":false,"error":"Printer not found","version":"410","device":"desktop"})");

    // Notifications need a title and a subtitle.
    row("note, no subtitle", "POST /setNotificationOrder|A|J|{\"title\":\"A\"}", 200, badNote);

    // Terminals: only the enabled ones on the port given exist.
    row("unknown port", "POST /sendTpaPurchase|A|F|tpa_port=/dev/null&amount=1", 200, noTpa);
}

void tst_ApiRequest::requests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        request.replace(it.key(), it.value());
    QList<QByteArray> parts = request.split('|');
    const QByteArray line = parts.takeFirst();
    const QByteArray body = parts.takeLast();
    QByteArray raw = line + " HTTP/1.1\r\n";
    for (const QByteArray &header : parts)
        raw += header + "\r\n";
    const Reply answer
        = serve(raw + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);

    QCOMPARE(answer.status, status);
    QCOMPARE(answer.reason, QByteArray(status == 401 ? "Unauthorized" : status == 404 ? "Not found" : "OK"));
    QCOMPARE(answer.headers.value("Access-Control-Allow-Origin"), defaultOrigin);
    QCOMPARE(answer.headers.value("Vary"), QByteArray("Origin"));
    if (reply.startsWith('<'))
        QVERIFY(answer.headers.value("Content-Type") == "text/html; charset=UTF-8"
            && answer.body.contains(reply));
    else if (reply.isEmpty())
        QCOMPARE(answer.body, QByteArray());
    else
        QCOMPARE(QJsonDocument::fromJson(answer.body).object(), QJsonDocument::fromJson(reply).object());
}

void tst_ApiRequest::origins_data()
{
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<bool>("admitted");
    QTest::newRow("main site") << QByteArray("https://www.tesmar.pt") << true;
    QTest::newRow("http, bare domain") << QByteArray("http://tesmar.es") << true;
    QTest::newRow("deep subdomain") << QByteArray("https://a.b.tesmar.com.br") << true;
    QTest::newRow("glued to a word") << QByteArray("https://eviltesmar.pt") << false;
    QTest::newRow("glued after a dot") << QByteArray("https://www.eviltesmar.co.ao") << false;
    QTest::newRow("as a prefix") << QByteArray("https://tesmar.pt.evil.com") << false;
    QTest::newRow("port") << QByteArray("https://www.tesmar.pt:8443") << false;
    QTest::newRow("credentials") << QByteArray("https://evil.com@www.tesmar.pt") << false;
    QTest::newRow("localhost with port") << QByteArray("http://localhost:3000") << true;
    QTest::newRow("beginning with localhost") << QByteArray("http://localhost.evil.com") << false;
    QTest::newRow("cut at NUL") << QByteArray("http://localhost:3000\0.evil.com", 30) << true;
    QTest::newRow("admitted after NUL") << QByteArray("https://evil.com\0.tesmar.pt", 27) << false;
}

void tst_ApiRequest::origins()
{
    QFETCH(QByteArray, origin);
    QFETCH(bool, admitted);
    const Reply reply = get("/getStatus",
        { { "Origin", origin }, { "Authorization", "Bearer " + m_backend.securityKey().toUtf8() } });
    // The origin is read as every header is: up to a NUL.
    const QByteArray read = origin.contains('\0') ? origin.left(origin.indexOf('\0')) : origin;
    QCOMPARE(reply.headers.value("Access-Control-Allow-Origin"), admitted ? read : defaultOrigin);
    // A form post needs no preflight, so a refused origin gets nothing done, not only its reply withheld.
    QCOMPARE(reply.status, admitted ? 200 : 403);
    QCOMPARE(QJsonDocument::fromJson(reply.body).object(),
        admitted ? QJsonObject({ { "status", true }, { "data", "Device online" } })
                 : QJsonObject({ { "status", false }, { "error", "Origin not allowed" } }));
}

void tst_ApiRequest::preflight()
{
    Reply reply = serve("OPTIONS /getPrinters HTTP/1.1\r\nOrigin: http://localhost:8080\r\n\r\n");
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, QByteArray());
    // English day and month in upper case, whatever the system's language.
    const QRegularExpression date(QStringLiteral("^(MON|TUE|WED|THU|FRI|SAT|SUN), \\d\\d "
                                                 "(JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC) \\d{4} "
                                                 "\\d\\d:\\d\\d:\\d\\d UTC$"));
    const QByteArray sent = reply.headers.take("Date");
    QVERIFY2(date.match(QString::fromLatin1(sent)).hasMatch(), sent.constData());
    const QMap<QByteArray, QByteArray> expected { { "Access-Control-Allow-Origin", "http://localhost:8080" },
        { "Vary", "Origin" }, { "Access-Control-Allow-Methods", "POST, GET, OPTIONS" },
        { "Access-Control-Allow-Headers", "authorization, Authorization, Content-Type" },
        { "Access-Control-Max-Age", "86400" }, { "Content-Length", "0" },
        { "Content-Type", "application/json; charset=UTF-8" } };
    QCOMPARE(reply.headers, expected);
}

// A record from a form (a word for an id, and no date: dated now) and one from JSON; reading the
// list does not consume it.
void tst_ApiRequest::notifications()
{
    const QByteArray key = "Authorization: Bearer " + m_backend.securityKey().toUtf8() + "\r\n";
    const QByteArray form = "request_id=7&terminal_id=x&title=Balc%C3%A3o&subtitle=Levantar";
    const QJsonObject received { { "status", true }, { "data", "Notification received" } };
    Reply reply = serve("POST /setNotificationOrder HTTP/1.1\r\n" + key
        + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
        + QByteArray::number(form.size()) + "\r\n\r\n" + form);
    QCOMPARE(QJsonDocument::fromJson(reply.body).object(), received);
    const QJsonObject first { { "request_id", 12 }, { "terminal_id", 3 }, { "status_id", 2 },
        { "title", "Mesa 4" }, { "subtitle", "Pedido pronto" }, { "lastModifiedBy", "Ana" },
        { "date", "2026-12-06T09:30:05" } };
    const QByteArray json = QJsonDocument(first).toJson(QJsonDocument::Compact);
    reply = serve("POST /setNotificationOrder HTTP/1.1\r\n" + key
        + "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(json.size()) + "\r\n\r\n"
        + json);
    QCOMPARE(QJsonDocument::fromJson(reply.body).object(), received);

    for (int read = 0; read < 2; ++read) {
        reply = get("/getStatus?with_notifications=1",
            { { "Authorization", "Bearer " + m_backend.securityKey().toUtf8() } });
        const QJsonArray listed
            = QJsonDocument::fromJson(reply.body).object().value("notifications").toArray();
        QCOMPARE(listed.size(), 2);
        QJsonObject fromForm = listed.at(0).toObject();
        const QDateTime dated = QDateTime::fromString(fromForm.take("date").toString(), Qt::ISODate);
        QVERIFY(qAbs(dated.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(fromForm,
            QJsonObject({ { "request_id", 7 }, { "terminal_id", 0 }, { "status_id", 0 },
                { "title", "Balcão" }, { "subtitle", "Levantar" }, { "lastModifiedBy", "" } }));
        QCOMPARE(listed.at(1).toObject(), first);
    }
    // Kept twenty minutes from their date.
    const qint64 dated
        = QDateTime::fromString(first.value("date").toString(), Qt::ISODate).toSecsSinceEpoch();
    m_backend.store.sweep(dated + 20 * 60);
    QCOMPARE(m_backend.store.records().size(), 2);
    m_backend.store.sweep(dated + 20 * 60 + 1);
    QCOMPARE(m_backend.store.records().size(), 1);
}

QTEST_GUILESS_MAIN(tst_ApiRequest)
#include "tst_apirequest.moc"
