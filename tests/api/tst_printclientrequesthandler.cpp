#include "apiclient.h"
#include "cupsscheduler.h"
#include "printclientrequesthandler.h"
#include "ptypair.h"
#include "terminalsimulator.h"
#include "varnelprocess.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

#include <memory>

namespace QTest {
template<> char *toString(const QJsonObject &object)
{
    return qstrdup(QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
}
} // namespace QTest

namespace {

const QString key = QStringLiteral("Ab+/9xYzv4.0");
const QByteArray defaultOrigin = "https://www.tesmar.pt";
const QString busy = QStringLiteral("VRL1001|M10|TPA already busy");
const QString commandAdded = QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
const QString notFound = QStringLiteral("VRL1001|M21|TPA not found");
const QString offline = QStringLiteral("VRL1001|M22|TPA offline or in error state");

// A receipt line with a character of the default code page, one that needs another page, a drawer
// kick and a cut, and the exact bytes the printer must receive for it after the reset.
QJsonArray receiptJob()
{
    return QJsonDocument::fromJson(R"([
        {"op": "alignment", "data": 1},
        {"op": "style", "data": {"emphasized": true}},
        {"op": "text", "data": "Café €5\n"},
        {"op": "bogus", "data": 1},
        {"op": "pulse", "data": {"drawer": 1, "pulse": 100}},
        {"op": "cut", "data": "feed"}
    ])")
        .array();
}

QByteArray receiptBytes()
{
    return QByteArray::fromHex("1b6101"
                               "1b2108"
                               "1b7400"
                               "436166"
                               "82"
                               "20"
                               "1b741080"
                               "1b7400"
                               "350a"
                               "1b700164fa"
                               "1d56420a");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray formEncode(const QList<QPair<QString, QString>> &fields)
{
    QByteArray body;
    for (const auto &field : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(field.first) + '=' + QUrl::toPercentEncoding(field.second);
    }
    return body;
}

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list << item.toString();
    return list;
}

// One simulated terminal on a pseudo-terminal pair; Varnel gets the other end.
struct Line
{
    Line(TerminalSimulator::Family family, const QString &ids)
        : simulator(family)
        , ids(ids)
    {
    }
    QString port() const { return pty.programEnd(); }
    QString extraPort() const { return port() + QLatin1Char('@') + ids; }

    PtyPair pty;
    TerminalSimulator simulator;
    QString ids;
};

// What the terminal received apart from the periodic status polls.
QList<QByteArray> commands(const Line &line)
{
    QList<QByteArray> received = line.simulator.messages();
    received.removeAll(line.simulator.pollMessage());
    return received;
}

} // namespace

// The API end to end: the real program on port 5080, a private CUPS scheduler with four queues
// and simulated payment terminals on pseudo-terminals, all started once for the whole suite.
class tst_PrintClientRequestHandler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void startPage_data();
    void startPage();
    void preflight();
    void checkOrder_data();
    void checkOrder();
    void bearer_data();
    void bearer();
    void routes_data();
    void routes();
    void origins_data();
    void origins();
    void originHeadersOnEveryReply_data();
    void originHeadersOnEveryReply();
    void originIsMatchedWhole_data();
    void originIsMatchedWhole();
    void withNotifications_data();
    void withNotifications();

    void printersListedOnlyWhenEnabled();
    void printerStatus_data();
    void printerStatus();
    void sendJobErrors_data();
    void sendJobErrors();
    void jobPrinted_data();
    void jobPrinted();
    void symbolsPreviewedOrRefused();

    void notificationsInAndOut();
    void notificationRejected_data();
    void notificationRejected();

    void terminalsListed();
    void terminalNotFound_data();
    void terminalNotFound();
    void terminalStatusNotFound();
    void purchase();
    void ingenicoCommands_data();
    void ingenicoCommands();
    void newnoteOpenAndPurchase();
    void terminalGone_data();
    void terminalGone();
    void lostLineReportsTimeout();

    void compatibilityMode();

private:
    TestHttpResponse send(const QByteArray &method, const QByteArray &target, const HeaderList &headers,
        const QByteArray &body = QByteArray());
    QJsonObject call(const QByteArray &path, const QJsonObject &body = QJsonObject());
    QJsonObject terminalCall(const QByteArray &path, const Line &line, const QString &terminalId,
        const QJsonObject &extra = QJsonObject());
    QStringList transactionTexts(const Line &line, const QString &terminalId);
    // Waits until the terminal no longer works for anyone (another terminal id stops being busy).
    bool waitForIdle(const Line &line);
    QJsonObject waitForStatus(const Line &line, const QString &terminalId, const QJsonValue &data);
    QByteArray printJob(const QByteArray &contentType, const QByteArray &body, QJsonObject *reply);

    CupsScheduler m_cups;
    QTemporaryDir m_dir;
    std::unique_ptr<Line> m_ingenico;
    std::unique_ptr<Line> m_newnote;
    std::unique_ptr<Line> m_disabled;
    std::unique_ptr<Line> m_gone;
    QString m_notATerminal;
    VarnelProcess m_varnel;
    ApiClient m_api;
};

void tst_PrintClientRequestHandler::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_cups.start());
    for (const char *queue : { "Receipt", "Hidden", "Offline", "Rejecting" })
        QVERIFY(m_cups.addQueue(QLatin1String(queue)));
    QVERIFY(m_cups.command(QStringLiteral("cupsdisable"), { QStringLiteral("Offline") }));
    QVERIFY(m_cups.command(QStringLiteral("cupsreject"), { QStringLiteral("Rejecting") }));

    m_ingenico = std::make_unique<Line>(TerminalSimulator::Ingenico, QStringLiteral("079b:0028"));
    m_newnote = std::make_unique<Line>(TerminalSimulator::Newnote, QStringLiteral("0403:6001"));
    m_disabled = std::make_unique<Line>(TerminalSimulator::Ingenico, QStringLiteral("0b00:0001"));
    m_gone = std::make_unique<Line>(TerminalSimulator::Newnote, QStringLiteral("1e0e:0002"));
    for (Line *line : { m_ingenico.get(), m_newnote.get(), m_disabled.get(), m_gone.get() }) {
        QVERIFY(line->pty.start());
        QVERIFY(line->simulator.open(line->pty.terminalEnd()));
    }
    // A path that exists but is no serial line: the terminal is present and never answers.
    m_notATerminal = m_dir.filePath(QStringLiteral("not-a-tty"));
    QFile file(m_notATerminal);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    m_varnel.setEnvironment(QStringLiteral("CUPS_SERVER"), m_cups.server());
    m_varnel.setEnvironment(QStringLiteral("VARNEL_EXTRA_SERIAL_PORTS"),
        QStringList { m_ingenico->extraPort(), m_newnote->extraPort(), m_disabled->extraPort(),
            m_notATerminal + QStringLiteral("@079b:0042"), m_gone->extraPort() }
            .join(QLatin1Char(',')));
    m_varnel.setEnvironment(
        QStringLiteral("VARNEL_VIRTUAL_PRINTER"), m_dir.filePath(QStringLiteral("paper")));
    m_varnel.store(QStringLiteral("securityKey"), key);
    for (const char *queue : { "Receipt", "Offline", "Rejecting", "Varnel Preview" })
        m_varnel.store(VarnelProcess::printerKey(QLatin1String(queue)), true);
    m_varnel.store(VarnelProcess::terminalKey(0x0b00, 0x0001), false);
    QVERIFY(m_varnel.start());
    m_api.setKey(key);
    QCOMPARE(call("/getStatus").value(QStringLiteral("data")).toString(), QStringLiteral("Device online"));
}

void tst_PrintClientRequestHandler::cleanupTestCase()
{
    // Under the sanitizers a fault in the program ends it or leaves a report in its output.
    QVERIFY(m_varnel.isRunning());
    QVERIFY2(!m_varnel.log().contains("runtime error") && !m_varnel.log().contains("Sanitizer"),
        m_varnel.log().right(4000).constData());
    m_varnel.stop();
    m_cups.stop();
}

TestHttpResponse tst_PrintClientRequestHandler::send(
    const QByteArray &method, const QByteArray &target, const HeaderList &headers, const QByteArray &body)
{
    return m_api.request(method, target, headers, body);
}

QJsonObject tst_PrintClientRequestHandler::call(const QByteArray &path, const QJsonObject &body)
{
    return m_api.call(path, body);
}

// ---- Dispatch ----------------------------------------------------------------------------------

void tst_PrintClientRequestHandler::startPage_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<HeaderList>("headers");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("language");

    QTest::newRow("no key") << QByteArray("GET") << HeaderList() << QByteArray() << "pt";
    QTest::newRow("wrong key") << QByteArray("GET") << HeaderList { { "Authorization", "Bearer nope" } }
                               << QByteArray() << "pt";
    QTest::newRow("invalid JSON") << QByteArray("POST")
                                  << HeaderList { { "Content-Type", "application/json" } }
                                  << QByteArray("{\"printer\":") << "pt";
    QTest::newRow("OPTIONS") << QByteArray("OPTIONS") << HeaderList() << QByteArray() << "pt";
    // By the browser's languages: the one it wants most that has a page.
    QTest::newRow("by weight") << QByteArray("GET")
                               << HeaderList { { "Accept-Language", "de, en;q=0.5, ES;q=0.7" } }
                               << QByteArray() << "es";
    QTest::newRow("none") << QByteArray("GET") << HeaderList { { "Accept-Language", "de-DE, en;q=0, *" } }
                          << QByteArray() << "pt";
}

void tst_PrintClientRequestHandler::startPage()
{
    QFETCH(QByteArray, method);
    QFETCH(HeaderList, headers);
    QFETCH(QByteArray, body);
    QFETCH(QString, language);

    const TestHttpResponse reply = send(method, "/", headers, body);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("Content-Type"), QByteArray("text/html; charset=UTF-8"));
    QCOMPARE(reply.header("Access-Control-Allow-Origin"), defaultOrigin);
    QCOMPARE(reply.header("Vary"), QByteArray("Origin"));
    QVERIFY(!reply.hasHeader("Date"));
    const QString page = QString::fromUtf8(reply.body);
    QVERIFY(!page.contains(QLatin1Char('\n')));
    QVERIFY(page.contains(QStringLiteral("<html lang=\"%1\">").arg(language)));
    QVERIFY(page.contains(QStringLiteral("<title>Varnel</title>")));
    QVERIFY(page.contains(QStringLiteral("<h1>Varnel</h1>")));
    QVERIFY(language != QLatin1String("pt")
        || page.contains(
            QStringLiteral("Para mais informações sobre a configuração de impressoras de talões no "
                           "Tesmar, consulte <a href=\"https://www.tesmar.pt/suporte/index.php?"
                           "action=getFaqDetail&amp;id=306\">a documentação <em>online</em></a>.")));
}

void tst_PrintClientRequestHandler::preflight()
{
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const TestHttpResponse reply = send("OPTIONS", "/getPrinters",
        { { "Origin", "http://localhost:8080" }, { "Access-Control-Request-Method", "POST" },
            { "Access-Control-Request-Headers", "authorization,content-type" } });
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, QByteArray());
    QStringList names;
    for (const auto &header : reply.headers)
        names << QString::fromLatin1(header.first);
    names.sort();
    QCOMPARE(names,
        QStringList(
            { "Access-Control-Allow-Headers", "Access-Control-Allow-Methods", "Access-Control-Allow-Origin",
                "Access-Control-Max-Age", "Content-Length", "Content-Type", "Date", "Vary" }));
    QCOMPARE(reply.header("Access-Control-Allow-Origin"), QByteArray("http://localhost:8080"));
    QCOMPARE(reply.header("Vary"), QByteArray("Origin"));
    QCOMPARE(reply.header("Access-Control-Allow-Methods"), QByteArray("POST, GET, OPTIONS"));
    QCOMPARE(reply.header("Access-Control-Allow-Headers"),
        QByteArray("authorization, Authorization, Content-Type"));
    QCOMPARE(reply.header("Access-Control-Max-Age"), QByteArray("86400"));
    QCOMPARE(reply.header("Content-Length"), QByteArray("0"));

    // "SAT, 05 DEC 2026 18:04:05 UTC": English names in upper case, whatever the system's language.
    const QByteArray date = reply.header("Date");
    QVERIFY2(QRegularExpression(QStringLiteral("^(MON|TUE|WED|THU|FRI|SAT|SUN), \\d\\d "
                                               "(JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC) \\d{4} "
                                               "\\d\\d:\\d\\d:\\d\\d UTC$"))
                 .match(QString::fromLatin1(date))
                 .hasMatch(),
        date.constData());
    const QStringList months { "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV",
        "DEC" };
    const QDateTime sent(QDate(date.mid(12, 4).toInt(),
                             months.indexOf(QString::fromLatin1(date.mid(8, 3))) + 1, date.mid(5, 2).toInt()),
        QTime::fromString(QString::fromLatin1(date.mid(17, 8)), QStringLiteral("hh:mm:ss")), Qt::UTC);
    QVERIFY2(sent >= before && sent <= after, date.constData());
}

void tst_PrintClientRequestHandler::checkOrder_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<int>("status");
    // "html", "empty", "ok", or the envelope's error.
    QTest::addColumn<QString>("outcome");

    const QByteArray json = "application/json";
    const QByteArray truncated = "{\"printer\": \"Rec";
    const QByteArray right = "Bearer " + key.toUtf8();
    QTest::newRow("page before invalid JSON")
        << QByteArray("POST") << QByteArray("/") << json << truncated << QByteArray() << 200 << "html";
    QTest::newRow("invalid JSON before preflight")
        << QByteArray("OPTIONS") << QByteArray("/getPrinters") << json << truncated << QByteArray() << 200
        << "Invalid Json";
    QTest::newRow("invalid JSON before key")
        << QByteArray("POST") << QByteArray("/getPrinters") << json << truncated << QByteArray("Bearer nope")
        << 200 << "Invalid Json";
    QTest::newRow("invalid JSON before route") << QByteArray("POST") << QByteArray("/nowhere") << json
                                               << truncated << right << 200 << "Invalid Json";
    QTest::newRow("JSON with charset")
        << QByteArray("POST") << QByteArray("/getPrinters") << QByteArray("application/json; charset=UTF-8")
        << truncated << QByteArray() << 200 << "Invalid Json";
    QTest::newRow("not JSON mode: no JSON check")
        << QByteArray("POST") << QByteArray("/getPrinters") << QByteArray("text/plain") << truncated << right
        << 200 << "ok";
    QTest::newRow("preflight before key")
        << QByteArray("OPTIONS") << QByteArray("/getPrinters") << QByteArray() << QByteArray()
        << QByteArray("Bearer nope") << 200 << "empty";
    QTest::newRow("preflight before route") << QByteArray("OPTIONS") << QByteArray("/nowhere") << QByteArray()
                                            << QByteArray() << QByteArray() << 200 << "empty";
    QTest::newRow("key before route")
        << QByteArray("GET") << QByteArray("/nowhere") << QByteArray() << QByteArray()
        << QByteArray("Bearer nope") << 401 << "Invalid security key";
    QTest::newRow("no key before route") << QByteArray("GET") << QByteArray("/nowhere") << QByteArray()
                                         << QByteArray() << QByteArray() << 401 << "Invalid security key";
    QTest::newRow("route last") << QByteArray("GET") << QByteArray("/nowhere") << QByteArray() << QByteArray()
                                << right << 404 << "Not found";
    QTest::newRow("empty JSON body is an empty object")
        << QByteArray("POST") << QByteArray("/getPrinters") << json << QByteArray() << right << 200 << "ok";
    QTest::newRow("JSON array body is an empty object")
        << QByteArray("POST") << QByteArray("/getPrinters") << json << QByteArray("[1, 2]") << right << 200
        << "ok";
}

void tst_PrintClientRequestHandler::checkOrder()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, authorization);
    QFETCH(int, status);
    QFETCH(QString, outcome);

    HeaderList headers;
    if (!contentType.isEmpty())
        headers.append({ "Content-Type", contentType });
    if (!authorization.isEmpty())
        headers.append({ "Authorization", authorization });
    const TestHttpResponse reply = send(method, path, headers, body);
    QCOMPARE(reply.status, status);
    const QJsonObject envelope = ApiClient::envelope(reply);
    if (outcome == QLatin1String("html")) {
        QCOMPARE(reply.header("Content-Type"), QByteArray("text/html; charset=UTF-8"));
    } else if (outcome == QLatin1String("empty")) {
        QCOMPARE(reply.body, QByteArray());
        QCOMPARE(reply.header("Access-Control-Max-Age"), QByteArray("86400"));
    } else if (outcome == QLatin1String("ok")) {
        QCOMPARE(envelope.value(QStringLiteral("status")), QJsonValue(true));
    } else {
        QCOMPARE(reply.header("Content-Type"), QByteArray("application/json; charset=UTF-8"));
        QCOMPARE(envelope, QJsonObject({ { "status", false }, { "error", outcome } }));
        // Indented, as QJsonDocument writes by default.
        QCOMPARE(reply.body, QJsonDocument(envelope).toJson());
        QVERIFY(!reply.hasHeader("Date"));
        QVERIFY(!reply.hasHeader("Access-Control-Allow-Methods"));
    }
    if (status == 401)
        QCOMPARE(reply.statusLine, QByteArray("HTTP/1.1 401 Unauthorized"));
    if (status == 404)
        QCOMPARE(reply.statusLine, QByteArray("HTTP/1.1 404 Not found"));
}

void tst_PrintClientRequestHandler::bearer_data()
{
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    const QByteArray k = key.toUtf8();
    const QByteArray json = "application/json";
    const QByteArray form = "application/x-www-form-urlencoded";
    const QByteArray bodyKey = "{\"securityKey\": \"" + k + "\"}";
    const QByteArray formKey = "securityKey=" + QUrl::toPercentEncoding(key);

    QTest::newRow("Bearer and the key")
        << "Bearer " + k << json << QByteArray("/getStatus") << QByteArray() << 200;
    QTest::newRow("form mode, header key")
        << "Bearer " + k << QByteArray() << QByteArray("/getStatus") << QByteArray() << 200;
    QTest::newRow("two spaces") << "Bearer  " + k << json << QByteArray("/getStatus") << QByteArray() << 401;
    QTest::newRow("lower-case word") << "bearer " + k << json << QByteArray("/getStatus") << QByteArray()
                                     << 401;
    QTest::newRow("word alone") << QByteArray("Bearer") << json << QByteArray("/getStatus") << QByteArray()
                                << 401;
    QTest::newRow("key alone") << k << json << QByteArray("/getStatus") << QByteArray() << 401;
    QTest::newRow("three pieces") << "Bearer " + k + " x" << json << QByteArray("/getStatus") << QByteArray()
                                  << 401;
    QTest::newRow("key in other case")
        << "Bearer " + k.toLower() << json << QByteArray("/getStatus") << QByteArray() << 401;
    QTest::newRow("key with a suffix")
        << "Bearer " + k + "0" << json << QByteArray("/getStatus") << QByteArray() << 401;
    QTest::newRow("no key anywhere") << QByteArray() << json << QByteArray("/getStatus") << QByteArray()
                                     << 401;
    QTest::newRow("JSON body key") << QByteArray() << json << QByteArray("/getStatus") << bodyKey << 200;
    QTest::newRow("header wins over body")
        << QByteArray("Bearer nope") << json << QByteArray("/getStatus") << bodyKey << 401;
    QTest::newRow("header key, wrong body key") << "Bearer " + k << json << QByteArray("/getStatus")
                                                << QByteArray("{\"securityKey\": \"nope\"}") << 200;
    QTest::newRow("Basic scheme falls back to the body")
        << QByteArray("Basic dXNlcjpwYXNz") << json << QByteArray("/getStatus") << bodyKey << 200;
    QTest::newRow("body key must be a string")
        << QByteArray() << json << QByteArray("/getStatus") << QByteArray("{\"securityKey\": 12}") << 401;
    QTest::newRow("query parameter") << QByteArray() << QByteArray() << "/getStatus?" + formKey
                                     << QByteArray() << 200;
    QTest::newRow("form body parameter")
        << QByteArray() << form << QByteArray("/getStatus") << formKey << 200;
    QTest::newRow("Basic scheme falls back to the parameter")
        << QByteArray("Basic dXNlcjpwYXNz") << form << QByteArray("/getStatus") << formKey << 200;
    QTest::newRow("query ignored in JSON mode")
        << QByteArray() << json << "/getStatus?" + formKey << QByteArray() << 401;
    QTest::newRow("body member ignored in form mode")
        << QByteArray() << QByteArray("text/plain") << QByteArray("/getStatus") << bodyKey << 401;
}

void tst_PrintClientRequestHandler::bearer()
{
    QFETCH(QByteArray, authorization);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, body);
    QFETCH(int, status);

    HeaderList headers;
    if (!authorization.isEmpty())
        headers.append({ "Authorization", authorization });
    if (!contentType.isEmpty())
        headers.append({ "Content-Type", contentType });
    const TestHttpResponse reply = send("POST", target, headers, body);
    QCOMPARE(reply.status, status);
    const QJsonObject envelope = ApiClient::envelope(reply);
    if (status == 200)
        QCOMPARE(envelope, QJsonObject({ { "status", true }, { "data", "Device online" } }));
    else
        QCOMPARE(envelope, QJsonObject({ { "status", false }, { "error", "Invalid security key" } }));
}

void tst_PrintClientRequestHandler::routes_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<bool>("withKey");
    QTest::addColumn<int>("status");

    QTest::newRow("GET") << QByteArray("GET") << QByteArray("/getTpas") << true << 200;
    QTest::newRow("POST") << QByteArray("POST") << QByteArray("/getTpas") << true << 200;
    QTest::newRow("one trailing slash") << QByteArray("GET") << QByteArray("/getTpas/") << true << 200;
    QTest::newRow("query string") << QByteArray("GET") << QByteArray("/getTpas?x=1") << true << 200;
    QTest::newRow("slash before query") << QByteArray("GET") << QByteArray("/getTpas/?x=1") << true << 200;
    QTest::newRow("two trailing slashes") << QByteArray("GET") << QByteArray("/getTpas//") << true << 404;
    QTest::newRow("two trailing slashes, no key")
        << QByteArray("GET") << QByteArray("/getTpas//") << false << 401;
    QTest::newRow("upper case") << QByteArray("GET") << QByteArray("/GETTPAS") << true << 404;
    QTest::newRow("upper case, no key") << QByteArray("GET") << QByteArray("/GETTPAS") << false << 401;
    QTest::newRow("double leading slash") << QByteArray("GET") << QByteArray("//getTpas") << true << 404;
    QTest::newRow("prefix of a route") << QByteArray("GET") << QByteArray("/getTpa") << true << 404;
    QTest::newRow("route as prefix") << QByteArray("GET") << QByteArray("/getTpasX") << true << 404;
    QTest::newRow("sub-path") << QByteArray("GET") << QByteArray("/getTpas/x") << true << 404;
    QTest::newRow("unknown") << QByteArray("GET") << QByteArray("/nowhere") << true << 404;
    QTest::newRow("unknown, no key") << QByteArray("GET") << QByteArray("/nowhere") << false << 401;
    QTest::newRow("known, no key") << QByteArray("GET") << QByteArray("/getTpas") << false << 401;
    QTest::newRow("page with trailing slash") << QByteArray("GET") << QByteArray("//") << true << 404;
}

void tst_PrintClientRequestHandler::routes()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(bool, withKey);
    QFETCH(int, status);

    HeaderList headers;
    if (withKey)
        headers.append({ "Authorization", "Bearer " + key.toUtf8() });
    const TestHttpResponse reply = send(method, target, headers);
    QCOMPARE(reply.status, status);
    const QJsonObject envelope = ApiClient::envelope(reply);
    if (status == 200) {
        QCOMPARE(envelope.value(QStringLiteral("status")), QJsonValue(true));
        QVERIFY(envelope.value(QStringLiteral("data")).isArray());
    } else if (status == 404) {
        QCOMPARE(reply.statusLine, QByteArray("HTTP/1.1 404 Not found"));
        QCOMPARE(envelope, QJsonObject({ { "status", false }, { "error", "Not found" } }));
    } else {
        QCOMPARE(reply.statusLine, QByteArray("HTTP/1.1 401 Unauthorized"));
        QCOMPARE(envelope, QJsonObject({ { "status", false }, { "error", "Invalid security key" } }));
    }
}

void tst_PrintClientRequestHandler::origins_data()
{
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<bool>("admitted");

    QTest::newRow("main site") << QByteArray("https://www.tesmar.pt") << true;
    QTest::newRow("bare domain") << QByteArray("https://tesmar.pt") << true;
    QTest::newRow("plain http") << QByteArray("http://app.tesmar.pt") << true;
    QTest::newRow("es") << QByteArray("https://loja.tesmar.es") << true;
    QTest::newRow("com") << QByteArray("https://a.b.tesmar.com") << true;
    QTest::newRow("co.ao") << QByteArray("https://tesmar.co.ao") << true;
    QTest::newRow("com.br") << QByteArray("https://www.tesmar.com.br") << true;
    QTest::newRow("domain glued to a word") << QByteArray("https://eviltesmar.pt") << false;
    QTest::newRow("domain glued after a dot") << QByteArray("https://www.eviltesmar.com.br") << false;
    QTest::newRow("allowed domain as a prefix") << QByteArray("https://tesmar.pt.evil.example") << false;
    QTest::newRow("port after domain") << QByteArray("https://www.tesmar.pt:8443") << false;
    QTest::newRow("path after domain") << QByteArray("https://www.tesmar.pt/x") << false;
    QTest::newRow("other scheme") << QByteArray("ftp://tesmar.pt") << false;
    QTest::newRow("credentials") << QByteArray("https://evil.example@www.tesmar.pt") << false;
    QTest::newRow("localhost") << QByteArray("http://localhost") << true;
    QTest::newRow("localhost with port") << QByteArray("http://localhost:3000") << true;
    QTest::newRow("host beginning with localhost") << QByteArray("http://localhost.evil.example") << false;
    QTest::newRow("localhost glued to a word") << QByteArray("http://localhostevil.example") << false;
    QTest::newRow("localhost over https") << QByteArray("https://localhost") << false;
    QTest::newRow("localhost over https with port") << QByteArray("https://localhost:3000") << false;
    QTest::newRow("loopback in digits") << QByteArray("http://127.0.0.1") << false;
    QTest::newRow("loopback in digits with port") << QByteArray("http://127.0.0.1:3000") << false;
    QTest::newRow("cut at NUL") << QByteArray("http://localhost:3000\0.evil", 26) << true;
    QTest::newRow("opaque origin") << QByteArray("null") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void tst_PrintClientRequestHandler::origins()
{
    QFETCH(QByteArray, origin);
    QFETCH(bool, admitted);

    HeaderList headers { { "Authorization", "Bearer " + key.toUtf8() } };
    if (!origin.isEmpty())
        headers.append({ "Origin", origin });
    const TestHttpResponse reply = send("GET", "/getStatus", headers);
    // Like every header value, the origin ends at a NUL.
    const QByteArray read = origin.contains('\0') ? origin.left(origin.indexOf('\0')) : origin;
    QCOMPARE(reply.header("Access-Control-Allow-Origin"), admitted ? read : defaultOrigin);
    QCOMPARE(reply.header("Vary"), QByteArray("Origin"));
    // A page of a refused origin gets nothing done, though a form post needs no preflight.
    const bool refused = !admitted && !origin.isEmpty();
    QCOMPARE(reply.status, refused ? 403 : 200);
    const QJsonObject envelope = ApiClient::envelope(reply);
    QCOMPARE(refused ? envelope.value(QStringLiteral("error")).toString()
                     : envelope.value(QStringLiteral("data")).toString(),
        refused ? QStringLiteral("Origin not allowed") : QStringLiteral("Device online"));
}

void tst_PrintClientRequestHandler::originHeadersOnEveryReply_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<HeaderList>("headers");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    const QByteArray right = "Bearer " + key.toUtf8();
    QTest::newRow("page") << QByteArray("GET") << QByteArray("/") << HeaderList() << QByteArray() << 200;
    QTest::newRow("preflight") << QByteArray("OPTIONS") << QByteArray("/sendJob") << HeaderList()
                               << QByteArray() << 200;
    QTest::newRow("invalid JSON") << QByteArray("POST") << QByteArray("/sendJob")
                                  << HeaderList { { "Content-Type", "application/json" } } << QByteArray("[")
                                  << 200;
    QTest::newRow("wrong key") << QByteArray("GET") << QByteArray("/getStatus") << HeaderList()
                               << QByteArray() << 401;
    QTest::newRow("unknown path") << QByteArray("GET") << QByteArray("/nowhere")
                                  << HeaderList { { "Authorization", right } } << QByteArray() << 404;
    QTest::newRow("endpoint failure") << QByteArray("GET") << QByteArray("/getPrinterStatus?printer=Nope")
                                      << HeaderList { { "Authorization", right } } << QByteArray() << 200;
}

void tst_PrintClientRequestHandler::originHeadersOnEveryReply()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(HeaderList, headers);
    QFETCH(QByteArray, body);
    QFETCH(int, status);

    for (const QByteArray &origin :
        { QByteArray("http://localhost:8080"), QByteArray("https://evil.example") }) {
        HeaderList withOrigin = headers;
        withOrigin.append({ "Origin", origin });
        const TestHttpResponse reply = send(method, path, withOrigin, body);
        // Nothing is done for a refused origin; the page, the preflight and an unreadable body
        // do nothing anyway.
        const bool refused
            = origin == "https://evil.example" && path != "/" && method != "OPTIONS" && body != "[";
        QCOMPARE(reply.status, refused ? 403 : status);
        QCOMPARE(reply.header("Access-Control-Allow-Origin"),
            origin.startsWith("http://localhost") ? origin : defaultOrigin);
        QCOMPARE(reply.header("Vary"), QByteArray("Origin"));
        QVERIFY(!reply.hasHeader("Access-Control-Allow-Credentials"));
        QVERIFY(!reply.hasHeader("Access-Control-Expose-Headers"));
    }
}

void tst_PrintClientRequestHandler::originIsMatchedWhole_data()
{
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("allowed");

    // Values no HTTP header can carry, given to the policy directly.
    QTest::newRow("trailing line feed") << QByteArray("http://localhost\n") << defaultOrigin;
    QTest::newRow("line feed and header") << QByteArray("http://localhost\nSet-Cookie: a=b") << defaultOrigin;
    QTest::newRow("cut at NUL") << QByteArray("http://localhost:1\0:2", 22)
                                << QByteArray("http://localhost:1");
    QTest::newRow("clean") << QByteArray("http://localhost:1") << QByteArray("http://localhost:1");
}

void tst_PrintClientRequestHandler::originIsMatchedWhole()
{
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, allowed);
    QCOMPARE(PrintClientRequestHandler::allowedOrigin(origin), allowed);
}

void tst_PrintClientRequestHandler::withNotifications_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("listed");

    const QByteArray json = "application/json";
    const QByteArray path = "/getStatus";
    QTest::newRow("JSON absent") << json << path << QByteArray("{}") << false;
    QTest::newRow("JSON 1") << json << path << QByteArray("{\"with_notifications\": 1}") << true;
    QTest::newRow("JSON 2") << json << path << QByteArray("{\"with_notifications\": 2}") << true;
    QTest::newRow("JSON 1.0") << json << path << QByteArray("{\"with_notifications\": 1.0}") << true;
    QTest::newRow("JSON huge") << json << path << QByteArray("{\"with_notifications\": 1e300}") << true;
    QTest::newRow("JSON 1.5") << json << path << QByteArray("{\"with_notifications\": 1.5}") << false;
    QTest::newRow("JSON 0") << json << path << QByteArray("{\"with_notifications\": 0}") << false;
    QTest::newRow("JSON -1") << json << path << QByteArray("{\"with_notifications\": -1}") << false;
    QTest::newRow("JSON huge negative")
        << json << path << QByteArray("{\"with_notifications\": -1e300}") << false;
    QTest::newRow("JSON true") << json << path << QByteArray("{\"with_notifications\": true}") << false;
    QTest::newRow("JSON string 1") << json << path << QByteArray("{\"with_notifications\": \"1\"}") << false;
    QTest::newRow("JSON ignores the query")
        << json << path + "?with_notifications=1" << QByteArray("{}") << false;
    QTest::newRow("form 1") << QByteArray() << path + "?with_notifications=1" << QByteArray() << true;
    QTest::newRow("form 2") << QByteArray() << path + "?with_notifications=2" << QByteArray() << true;
    QTest::newRow("form body") << QByteArray("application/x-www-form-urlencoded") << path
                               << QByteArray("with_notifications=1") << true;
    QTest::newRow("form true") << QByteArray() << path + "?with_notifications=true" << QByteArray() << false;
    QTest::newRow("form empty") << QByteArray() << path + "?with_notifications=" << QByteArray() << false;
    QTest::newRow("form 0") << QByteArray() << path + "?with_notifications=0" << QByteArray() << false;
    QTest::newRow("form -3") << QByteArray() << path + "?with_notifications=-3" << QByteArray() << false;
    QTest::newRow("form 1.5") << QByteArray() << path + "?with_notifications=1.5" << QByteArray() << false;
    QTest::newRow("form absent") << QByteArray() << path << QByteArray() << false;
}

void tst_PrintClientRequestHandler::withNotifications()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, body);
    QFETCH(bool, listed);

    HeaderList headers { { "Authorization", "Bearer " + key.toUtf8() } };
    if (!contentType.isEmpty())
        headers.append({ "Content-Type", contentType });
    const QJsonObject envelope = ApiClient::envelope(send("POST", target, headers, body));
    QJsonObject expected { { "status", true }, { "data", "Device online" } };
    if (listed)
        expected.insert(QStringLiteral("notifications"), QJsonArray());
    QCOMPARE(envelope, expected);
}

// ---- Printers ----------------------------------------------------------------------------------

void tst_PrintClientRequestHandler::printersListedOnlyWhenEnabled()
{
    const QJsonObject envelope = call("/getPrinters");
    QCOMPARE(envelope.value(QStringLiteral("status")), QJsonValue(true));
    QStringList names = strings(envelope.value(QStringLiteral("data")));
    names.sort();
    QCOMPARE(names, QStringList({ "Offline", "Receipt", "Rejecting", "Varnel Preview" }));
    QCOMPARE(envelope.keys(), QStringList({ "data", "status" }));
}

void tst_PrintClientRequestHandler::printerStatus_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QJsonObject>("expected");

    const QJsonObject missing { { "status", false }, { "error", "Printer not found" } };
    QTest::newRow("ready") << "Receipt" << QJsonObject({ { "status", true }, { "data", true } });
    QTest::newRow("rejecting jobs but idle")
        << "Rejecting" << QJsonObject({ { "status", true }, { "data", true } });
    QTest::newRow("disabled queue") << "Offline" << QJsonObject({ { "status", true }, { "data", false } });
    QTest::newRow("virtual printer") << "Varnel Preview"
                                     << QJsonObject({ { "status", true }, { "data", true } });
    QTest::newRow("not enabled by the user") << "Hidden" << missing;
    QTest::newRow("unknown") << "Nope" << missing;
    QTest::newRow("other case") << "receipt" << missing;
    QTest::newRow("empty name") << QString() << missing;
}

void tst_PrintClientRequestHandler::printerStatus()
{
    QFETCH(QString, printer);
    QFETCH(QJsonObject, expected);

    QJsonObject body;
    if (!printer.isEmpty())
        body.insert(QStringLiteral("printer"), printer);
    expected.insert(QStringLiteral("version"), QStringLiteral("410"));
    expected.insert(QStringLiteral("device"), QStringLiteral("desktop"));
    QCOMPARE(call("/getPrinterStatus", body), expected);
}

void tst_PrintClientRequestHandler::sendJobErrors_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("error");

    const QByteArray json = "application/json";
    const QByteArray form = "application/x-www-form-urlencoded";
    const QByteArray job = QJsonDocument(receiptJob()).toJson(QJsonDocument::Compact);
    auto jsonBody = [](const QJsonObject &object) { return QJsonDocument(object).toJson(); };

    QTest::newRow("unknown printer, empty job")
        << json << jsonBody({ { "printer", "Nope" }, { "job", QJsonArray() } }) << "Printer not found";
    QTest::newRow("not enabled by the user")
        << json << jsonBody({ { "printer", "Hidden" }, { "job", receiptJob() } }) << "Printer not found";
    QTest::newRow("no printer") << json << jsonBody({ { "job", receiptJob() } }) << "Printer not found";
    QTest::newRow("printer as a number")
        << json << jsonBody({ { "printer", 1 }, { "job", receiptJob() } }) << "Printer not found";
    QTest::newRow("disabled queue") << json << jsonBody({ { "printer", "Offline" }, { "job", receiptJob() } })
                                    << "Printer offline or in error state";
    QTest::newRow("disabled queue, empty job")
        << json << jsonBody({ { "printer", "Offline" }, { "job", QJsonArray() } })
        << "Printer offline or in error state";
    QTest::newRow("empty job") << json << jsonBody({ { "printer", "Receipt" }, { "job", QJsonArray() } })
                               << "Job is empty";
    QTest::newRow("no job") << json << jsonBody({ { "printer", "Receipt" } }) << "Job is empty";
    QTest::newRow("job as JSON text")
        << json << jsonBody({ { "printer", "Receipt" }, { "job", QString::fromUtf8(job) } })
        << "Job is empty";
    QTest::newRow("queue rejecting jobs")
        << json << jsonBody({ { "printer", "Rejecting" }, { "job", receiptJob() } }) << "Error printing job";
    QTest::newRow("form, no job, unknown printer")
        << form << QByteArray("printer=Nope") << "Job with incorrect format";
    QTest::newRow("form, job not JSON")
        << form << QByteArray("printer=Receipt&job=nope") << "Job with incorrect format";
    QTest::newRow("form, job an object")
        << form << formEncode({ { "printer", "Receipt" }, { "job", "{}" } }) << "Job with incorrect format";
    QTest::newRow("form, empty job, unknown printer")
        << form << formEncode({ { "printer", "Nope" }, { "job", "[]" } }) << "Printer not found";
    QTest::newRow("form, empty job") << form << formEncode({ { "printer", "Receipt" }, { "job", "[]" } })
                                     << "Job is empty";
    QTest::newRow("form, disabled queue")
        << form << formEncode({ { "printer", "Offline" }, { "job", QString::fromUtf8(job) } })
        << "Printer offline or in error state";
}

void tst_PrintClientRequestHandler::sendJobErrors()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, error);

    const TestHttpResponse reply = send("POST", "/sendJob",
        { { "Content-Type", contentType }, { "Authorization", "Bearer " + key.toUtf8() } }, body);
    QCOMPARE(reply.status, 200);
    QCOMPARE(ApiClient::envelope(reply), QJsonObject({ { "status", false }, { "error", error } }));
}

QByteArray tst_PrintClientRequestHandler::printJob(
    const QByteArray &contentType, const QByteArray &body, QJsonObject *reply)
{
    const QString output = m_cups.outputFile(QStringLiteral("Receipt"));
    QFile::remove(output);
    *reply = ApiClient::envelope(send("POST", "/sendJob",
        { { "Content-Type", contentType }, { "Authorization", "Bearer " + key.toUtf8() } }, body));
    // The scheduler writes the job shortly after it has been handed over.
    if (!QTest::qWaitFor([&] { return readFile(output).size() >= receiptBytes().size(); }, 10000))
        return QByteArray();
    return readFile(output);
}

void tst_PrintClientRequestHandler::jobPrinted_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");

    const QByteArray job = QJsonDocument(receiptJob()).toJson(QJsonDocument::Compact);
    QTest::newRow("JSON")
        << QByteArray("application/json")
        << QJsonDocument(QJsonObject { { "printer", "Receipt" }, { "job", receiptJob() } }).toJson();
    QTest::newRow("form") << QByteArray("application/x-www-form-urlencoded")
                          << formEncode({ { "printer", "Receipt" }, { "job", QString::fromUtf8(job) } });
}

void tst_PrintClientRequestHandler::jobPrinted()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);

    // One line for the job in the log kept on disk, without the key the request carried.
    QFile log(m_varnel.home() + QStringLiteral("/.local/state/varnel/varnel.log"));
    QVERIFY(log.open(QIODevice::ReadOnly) && log.seek(log.size()));
    QJsonObject reply;
    const QByteArray printed = printJob(contentType, body, &reply);
    QCOMPARE(reply, QJsonObject({ { "status", true }, { "data", "Job completed successfully" } }));
    const QByteArray added = log.readAll();
    QVERIFY(added.count('\n') == 1 && !added.contains(key.toUtf8()));
    // The printer is reset before anything else.
    QCOMPARE(printed.toHex(' '), (QByteArray("\x1b\x40") + receiptBytes()).toHex(' '));
}

// A bad QR code never opens a CUPS job; the same job with a good one is drawn by /previewJob and,
// sent to the virtual printer, becomes a PNG whose QR code a scanner reads.
void tst_PrintClientRequestHandler::symbolsPreviewedOrRefused()
{
    const auto job = [](const QJsonValue &size) {
        QJsonArray commands = receiptJob();
        commands.insert(1,
            QJsonObject { { "op", "qrcode" },
                { "data", QJsonObject { { "text", "FT A/2024/5" }, { "size", size } } } });
        return commands;
    };
    const auto jobsOpened = [this] {
        QFile log(m_cups.accessLog());
        return log.open(QIODevice::ReadOnly) ? log.readAll().count("Create-Job") : -1;
    };
    const int opened = jobsOpened();
    const QJsonObject refused = call("/sendJob", { { "printer", "Receipt" }, { "job", job(17) } });
    QVERIFY(refused.value("error").toString().startsWith(QLatin1String("job[1] \"qrcode\"")));
    QCOMPARE(jobsOpened(), opened);
    QCOMPARE(call("/previewJob", { { "printer", "Nope" }, { "job", job(4) } }).value("error"),
        QJsonValue("Printer not found"));

    const QJsonObject preview = call("/previewJob", { { "job", job(4) } });
    const QImage paper
        = QImage::fromData(QByteArray::fromBase64(preview.value("data").toString().toLatin1()), "PNG");
    QVERIFY(!paper.isNull()
        && paper.size() == QSize(preview.value("width").toInt(), preview.value("height").toInt()));

    QCOMPARE(call("/sendJob", { { "printer", "Varnel Preview" }, { "job", job(4) } }).value("status"),
        QJsonValue(true));
    const QFileInfoList files = QDir(m_dir.filePath("paper")).entryInfoList({ "varnel-*.png" });
    QCOMPARE(files.size(), 1);
    QProcess zbar;
    zbar.start("zbarimg", { "--quiet", "--raw", files.first().filePath() });
    QVERIFY(zbar.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), QStringLiteral("FT A/2024/5"));
}

// ---- Notifications -----------------------------------------------------------------------------

void tst_PrintClientRequestHandler::notificationsInAndOut()
{
    const QJsonObject listing { { "with_notifications", 1 } };
    QCOMPARE(call("/getStatus", listing).value(QStringLiteral("notifications")), QJsonValue(QJsonArray()));

    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    const QJsonObject first { { "request_id", 12 }, { "terminal_id", 3 }, { "status_id", 2 },
        { "title", "Mesa 4" }, { "subtitle", "Pedido pronto" }, { "lastModifiedBy", "Ana" },
        { "date", now } };
    QCOMPARE(call("/setNotificationOrder", first),
        QJsonObject({ { "status", true }, { "data", "Notification received" } }));

    const QByteArray form = formEncode(
        { { "request_id", "7" }, { "terminal_id", "x" }, { "title", "Balcão" }, { "subtitle", "Levantar" } });
    const TestHttpResponse reply = send("POST", "/setNotificationOrder",
        { { "Content-Type", "application/x-www-form-urlencoded" },
            { "Authorization", "Bearer " + key.toUtf8() } },
        form);
    QCOMPARE(
        ApiClient::envelope(reply), QJsonObject({ { "status", true }, { "data", "Notification received" } }));

    const QJsonObject third { { "request_id", "7" }, { "status_id", 1.5 }, { "title", "A" },
        { "subtitle", "B" }, { "date", now } };
    QCOMPARE(call("/setNotificationOrder", third).value(QStringLiteral("status")), QJsonValue(true));

    for (int read = 0; read < 2; ++read) {
        const QJsonArray listed
            = call("/getStatus", listing).value(QStringLiteral("notifications")).toArray();
        QCOMPARE(listed.size(), 3);
        QCOMPARE(listed.at(0).toObject(), first);
        const QJsonObject second = listed.at(1).toObject();
        QCOMPARE(second.value(QStringLiteral("request_id")), QJsonValue(7));
        QCOMPARE(second.value(QStringLiteral("terminal_id")), QJsonValue(0));
        QCOMPARE(second.value(QStringLiteral("status_id")), QJsonValue(0));
        QCOMPARE(second.value(QStringLiteral("title")), QJsonValue("Balcão"));
        QCOMPARE(second.value(QStringLiteral("lastModifiedBy")), QJsonValue(""));
        const QDateTime dated = QDateTime::fromString(
            second.value(QStringLiteral("date")).toString(), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        QVERIFY(qAbs(dated.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(listed.at(2).toObject(),
            QJsonObject({ { "request_id", 0 }, { "terminal_id", 0 }, { "status_id", 0 }, { "title", "A" },
                { "subtitle", "B" }, { "lastModifiedBy", "" }, { "date", now } }));
    }
}

void tst_PrintClientRequestHandler::notificationRejected_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");

    const QByteArray json = "application/json";
    const QByteArray form = "application/x-www-form-urlencoded";
    QTest::newRow("empty object") << json << QByteArray("{}");
    QTest::newRow("empty body") << json << QByteArray();
    QTest::newRow("no subtitle") << json << QByteArray("{\"title\": \"A\", \"request_id\": 1}");
    QTest::newRow("empty title") << json << QByteArray("{\"title\": \"\", \"subtitle\": \"B\"}");
    QTest::newRow("title not a string") << json << QByteArray("{\"title\": 1, \"subtitle\": \"B\"}");
    QTest::newRow("form without fields") << form << QByteArray();
    QTest::newRow("form, title only") << form << QByteArray("title=A&request_id=3");
}

void tst_PrintClientRequestHandler::notificationRejected()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);

    const TestHttpResponse reply = send("POST", "/setNotificationOrder",
        { { "Content-Type", contentType }, { "Authorization", "Bearer " + key.toUtf8() } }, body);
    QCOMPARE(reply.status, 200);
    QCOMPARE(ApiClient::envelope(reply),
        QJsonObject({ { "status", false }, { "data", "Error receiving notification" } }));
    const QJsonObject listing { { "with_notifications", 1 } };
    QCOMPARE(call("/getStatus", listing).value(QStringLiteral("notifications")).toArray().size(), 3);
}

// ---- Terminals ---------------------------------------------------------------------------------

QJsonObject tst_PrintClientRequestHandler::terminalCall(
    const QByteArray &path, const Line &line, const QString &terminalId, const QJsonObject &extra)
{
    QJsonObject body = extra;
    body.insert(QStringLiteral("tpa_port"), line.port());
    body.insert(QStringLiteral("terminal_tpa_id"), terminalId);
    return call(path, body);
}

QStringList tst_PrintClientRequestHandler::transactionTexts(const Line &line, const QString &terminalId)
{
    const QJsonObject reply = terminalCall("/getTpaTransactionStatus", line, terminalId);
    if (reply.value(QStringLiteral("status")) != QJsonValue(true))
        return { QStringLiteral("failed: ") + QString::fromUtf8(QJsonDocument(reply).toJson()) };
    return strings(reply.value(QStringLiteral("data")));
}

bool tst_PrintClientRequestHandler::waitForIdle(const Line &line)
{
    return QTest::qWaitFor(
        [&] {
            return terminalCall("/getTpaStatus", line, QStringLiteral("observer"))
                       .value(QStringLiteral("data"))
                != QJsonValue(busy);
        },
        20000);
}

QJsonObject tst_PrintClientRequestHandler::waitForStatus(
    const Line &line, const QString &terminalId, const QJsonValue &data)
{
    QJsonObject reply;
    // The caller compares the last reply, whether it came in time or not.
    static_cast<void>(QTest::qWaitFor(
        [&] {
            reply = terminalCall("/getTpaStatus", line, terminalId);
            return reply.value(QStringLiteral("data")) == data;
        },
        20000));
    return reply;
}

void tst_PrintClientRequestHandler::terminalsListed()
{
    const QJsonObject reply = call("/getTpas");
    QCOMPARE(reply.value(QStringLiteral("status")), QJsonValue(true));
    // Ports of the machine itself have no terminal vendor ids; only ours are listed.
    const QJsonArray listed = reply.value(QStringLiteral("data")).toArray();
    QCOMPARE(listed.size(), 4);
    QCOMPARE(listed.at(0).toObject(),
        QJsonObject({ { "description", "Virtual serial port" }, { "manufacturer", "" },
            { "portName", m_ingenico->port() }, { "productIdentifier", 0x28 }, { "vendorIdentifier", 0x079b },
            { "vendorId", 1 } }));
    QCOMPARE(listed.at(1).toObject(),
        QJsonObject({ { "description", "Virtual serial port" }, { "manufacturer", "" },
            { "portName", m_newnote->port() }, { "productIdentifier", 0x6001 },
            { "vendorIdentifier", 0x0403 }, { "vendorId", 2 } }));
    QCOMPARE(listed.at(2).toObject().value(QStringLiteral("portName")).toString(), m_notATerminal);
    QCOMPARE(listed.at(3).toObject().value(QStringLiteral("portName")).toString(), m_gone->port());
    QCOMPARE(listed.at(3).toObject().value(QStringLiteral("vendorId")), QJsonValue(2));
}

namespace {

const QList<QByteArray> terminalRoutes { "/getTpaStatus", "/getTpaTransactionStatus",
    "/clearTpaTransactionStatus", "/sendTpaOpen", "/sendTpaClose", "/sendTpaPurchase", "/sendTpaRefund",
    "/sendTpaOpenMenu", "/sendTpaReprintLastReceipt" };

} // namespace

void tst_PrintClientRequestHandler::terminalNotFound_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("port");

    for (const QByteArray &path : terminalRoutes) {
        QTest::addRow("%s, empty port", path.constData()) << path << 0;
        QTest::addRow("%s, unknown port", path.constData()) << path << 1;
        QTest::addRow("%s, disabled terminal", path.constData()) << path << 2;
        QTest::addRow("%s, port in other case", path.constData()) << path << 3;
    }
}

void tst_PrintClientRequestHandler::terminalNotFound()
{
    QFETCH(QByteArray, path);
    QFETCH(int, port);

    const QStringList ports { QString(), QStringLiteral("/dev/nowhere"), m_disabled->port(),
        m_ingenico->port().toUpper() };
    const QJsonObject reply
        = call(path, { { "tpa_port", ports.at(port) }, { "terminal_tpa_id", "A" }, { "amount", "1.00" } });
    QJsonObject expected { { "status", false }, { "error", notFound } };
    if (path == "/getTpaStatus") {
        expected.insert(QStringLiteral("version"), QStringLiteral("410"));
        expected.insert(QStringLiteral("device"), QStringLiteral("desktop"));
    }
    QCOMPARE(reply, expected);
}

void tst_PrintClientRequestHandler::terminalStatusNotFound()
{
    QCOMPARE(call("/getTpaStatus", { { "tpa_port", m_notATerminal }, { "terminal_tpa_id", "A" } }),
        QJsonObject({ { "status", false }, { "error", "VRL1001|M98|TPA status not found" },
            { "version", "410" }, { "device", "desktop" } }));
}

void tst_PrintClientRequestHandler::purchase()
{
    Line &line = *m_ingenico;
    const QString a = QStringLiteral("POS A");
    const QString b = QStringLiteral("POS B");
    // The first status poll goes out as soon as the port is open.
    QCOMPARE(waitForStatus(line, a, QStringLiteral("M000000")),
        QJsonObject(
            { { "status", true }, { "data", "M000000" }, { "version", "410" }, { "device", "desktop" } }));
    line.simulator.setAnswerCommands(false);
    line.simulator.clearReceived();

    QCOMPARE(terminalCall("/sendTpaPurchase", line, a, { { "amount", "12.50" } }),
        QJsonObject({ { "status", true }, { "data", "VRL0000|M00|TPA purchase command sent" } }));
    const QByteArray payload = "P05100133304978200001250";
    QTRY_COMPARE_WITH_TIMEOUT(commands(line), QList<QByteArray>({ payload }), 10000);
    QVERIFY(line.simulator.rawReceived().contains(
        "\x02" + payload + "\x03" + TerminalSimulator::lrc(payload + "\x03")));

    // Busy for everyone until the terminal answers.
    const QJsonObject busyReply { { "status", true }, { "data", busy } };
    QCOMPARE(terminalCall("/sendTpaPurchase", line, a, { { "amount", "1.00" } }), busyReply);
    QCOMPARE(terminalCall("/sendTpaPurchase", line, b, { { "amount", "1.00" } }), busyReply);
    QCOMPARE(terminalCall("/sendTpaOpen", line, b), busyReply);
    QCOMPARE(terminalCall("/clearTpaTransactionStatus", line, a), busyReply);
    QCOMPARE(terminalCall("/getTpaStatus", line, b),
        QJsonObject({ { "status", true }, { "data", busy }, { "version", "410" }, { "device", "desktop" } }));
    QCOMPARE(terminalCall("/getTpaStatus", line, a).value(QStringLiteral("data")), QJsonValue("M000000"));

    // The caller's own texts are kept while its transaction runs; another caller has none.
    QCOMPARE(transactionTexts(line, a), QStringList({ commandAdded }));
    QCOMPARE(transactionTexts(line, a), QStringList({ commandAdded }));
    QCOMPARE(transactionTexts(line, b), QStringList());
    QCOMPARE(commands(line), QList<QByteArray>({ payload }));

    // What the terminal says on the way is added for the caller; the transaction goes on.
    const QString prompt = QStringLiteral("D001INSIRA CARTAO");
    line.simulator.sendMessage(prompt.toLatin1());
    QTRY_COMPARE_WITH_TIMEOUT(transactionTexts(line, a), QStringList({ commandAdded, prompt }), 10000);
    QCOMPARE(transactionTexts(line, a), QStringList({ commandAdded, prompt }));
    QCOMPARE(terminalCall("/getTpaStatus", line, b).value(QStringLiteral("data")), QJsonValue(busy));

    const QByteArray answer = line.simulator.replyTo(payload);
    line.simulator.sendMessage(answer);
    QVERIFY(waitForIdle(line));
    // Once it has ended, the texts are handed over once: clearing returns what it removed.
    QCOMPARE(terminalCall("/clearTpaTransactionStatus", line, a),
        QJsonObject({ { "status", true },
            { "data", QJsonArray({ commandAdded, prompt, QString::fromLatin1(answer) }) } }));
    QCOMPARE(transactionTexts(line, a), QStringList());
    QCOMPARE(terminalCall("/clearTpaTransactionStatus", line, a),
        QJsonObject({ { "status", true }, { "data", QJsonArray() } }));
}

void tst_PrintClientRequestHandler::ingenicoCommands_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QJsonObject>("extra");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("sent");

    QTest::newRow("open") << QByteArray("/sendTpaOpen") << QJsonObject() << QByteArray("P001001333049782")
                          << "VRL0000|M00|TPA open command sent";
    QTest::newRow("close") << QByteArray("/sendTpaClose") << QJsonObject() << QByteArray("P042101333049782")
                           << "VRL0000|M00|TPA close command sent";
    QTest::newRow("purchase, amount as a number")
        << QByteArray("/sendTpaPurchase") << QJsonObject({ { "amount", 10 } })
        << QByteArray("P05100133304978200000000") << "VRL0000|M00|TPA purchase command sent";
    QTest::newRow("purchase, long amount")
        << QByteArray("/sendTpaPurchase") << QJsonObject({ { "amount", "1,234,567.89" } })
        << QByteArray("P051001333049782123456789") << "VRL0000|M00|TPA purchase command sent";
    QTest::newRow("refund") << QByteArray("/sendTpaRefund")
                            << QJsonObject({ { "amount", "1,234.56" }, { "tpa_id", "000123" },
                                   { "datetime", "2024-01-31 12:34:56" } })
                            << QByteArray("P0610013330297820012345600012320240131123456")
                            << "VRL0000|M00|TPA refund command sent";
    QTest::newRow("menu") << QByteArray("/sendTpaOpenMenu") << QJsonObject() << QByteArray("M00500")
                          << "VRL0000|M00|TPA menu open command sent";
    QTest::newRow("reprint") << QByteArray("/sendTpaReprintLastReceipt") << QJsonObject()
                             << QByteArray("M00505") << "VRL0000|M00|TPA reprint last receipt command sent";
}

void tst_PrintClientRequestHandler::ingenicoCommands()
{
    QFETCH(QByteArray, path);
    QFETCH(QJsonObject, extra);
    QFETCH(QByteArray, payload);
    QFETCH(QString, sent);

    Line &line = *m_ingenico;
    const QString id = QStringLiteral("POS C");
    line.simulator.setAnswerCommands(true);
    line.simulator.clearReceived();
    QCOMPARE(terminalCall(path, line, id, extra), QJsonObject({ { "status", true }, { "data", sent } }));
    QTRY_VERIFY_WITH_TIMEOUT(line.simulator.messages().contains(payload), 10000);
    QVERIFY(waitForIdle(line));
    QCOMPARE(transactionTexts(line, id),
        QStringList({ commandAdded, QString::fromLatin1(line.simulator.replyTo(payload)) }));
    QCOMPARE(transactionTexts(line, id), QStringList());
}

void tst_PrintClientRequestHandler::newnoteOpenAndPurchase()
{
    Line &line = *m_newnote;
    const QString id = QStringLiteral("POS N");
    QCOMPARE(
        waitForStatus(line, id, QStringLiteral("M00100")).value(QStringLiteral("status")), QJsonValue(true));
    line.simulator.setAnswerCommands(true);
    line.simulator.clearReceived();
    QCOMPARE(terminalCall("/sendTpaOpen", line, id),
        QJsonObject({ { "status", true }, { "data", "VRL0000|M00|TPA open command sent" } }));
    const QByteArray open = "S000100000011";
    QTRY_VERIFY_WITH_TIMEOUT(line.simulator.messages().contains(open), 10000);
    QVERIFY(line.simulator.rawReceived().startsWith(line.simulator.frame(open)));
    QVERIFY(waitForIdle(line));
    QCOMPARE(transactionTexts(line, id), QStringList({ commandAdded, QStringLiteral("S00000") }));

    line.simulator.clearReceived();
    QCOMPARE(
        terminalCall("/sendTpaPurchase", line, id, { { "amount", "12.5" } }).value(QStringLiteral("data")),
        QJsonValue("VRL0000|M00|TPA purchase command sent"));
    const QByteArray purchase = QByteArray("C000100000") + "00000125" + "00001000"
        + QByteArray::fromHex("0b9f1c009a009f21009f0200");
    QTRY_VERIFY_WITH_TIMEOUT(line.simulator.messages().contains(purchase), 10000);
    QVERIFY(line.simulator.rawReceived().contains(line.simulator.frame(purchase)));
    QVERIFY(waitForIdle(line));
    const QStringList texts = transactionTexts(line, id);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts.at(0), commandAdded);
    QVERIFY2(texts.at(1).startsWith(QLatin1String("C0000000000125")), qPrintable(texts.at(1)));
}

void tst_PrintClientRequestHandler::terminalGone_data()
{
    QTest::addColumn<QByteArray>("path");
    for (const QByteArray &path : terminalRoutes)
        QTest::newRow(path.constData()) << path;
}

void tst_PrintClientRequestHandler::terminalGone()
{
    QFETCH(QByteArray, path);

    // Unplugged: the path disappears while the program still lists the terminal.
    m_gone->pty.stop();
    QTRY_VERIFY(!QFileInfo::exists(m_gone->port()));
    bool listed = false;
    for (const QJsonValue &tpa : call("/getTpas").value(QStringLiteral("data")).toArray())
        listed = listed || tpa.toObject().value(QStringLiteral("portName")).toString() == m_gone->port();
    QVERIFY(listed);

    QJsonObject expected { { "status", false }, { "error", offline } };
    if (path == "/getTpaStatus") {
        expected.insert(QStringLiteral("version"), QStringLiteral("410"));
        expected.insert(QStringLiteral("device"), QStringLiteral("desktop"));
    }
    QCOMPARE(terminalCall(path, *m_gone, QStringLiteral("A"), { { "amount", "1.00" } }), expected);
}

void tst_PrintClientRequestHandler::lostLineReportsTimeout()
{
    // Something else appears at the path of the unplugged terminal: the terminal counts as present
    // again, and its last status is the time-out its worker reported when the line went away.
    QFile file(m_gone->port());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(waitForStatus(*m_gone, QStringLiteral("A"), QStringLiteral("VRL1001|M99|Operation Timeout")),
        QJsonObject({ { "status", false }, { "data", "VRL1001|M99|Operation Timeout" }, { "version", "410" },
            { "device", "desktop" } }));
}

// ---- Compatibility mode (restarts the program) -------------------------------------------------

void tst_PrintClientRequestHandler::compatibilityMode()
{
    m_varnel.stop();
    m_varnel.store(QStringLiteral("compatibilityMode"), true);
    QVERIFY(m_varnel.start());

    QJsonObject reply;
    const QByteArray printed = printJob("application/json",
        QJsonDocument(QJsonObject { { "printer", "Receipt" }, { "job", receiptJob() } }).toJson(), &reply);
    QCOMPARE(reply, QJsonObject({ { "status", true }, { "data", "Job completed successfully" } }));
    // No reset: the printer keeps whatever it was set to.
    QCOMPARE(printed.toHex(' '), receiptBytes().toHex(' '));
}

QTEST_GUILESS_MAIN(tst_PrintClientRequestHandler)
#include "tst_printclientrequesthandler.moc"
