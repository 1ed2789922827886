#include "httprequest.h"
#include "httptestsupport.h"
#include "socketpair.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const char *statusName(HttpRequest::RequestStatus status)
{
    switch (status) {
    case HttpRequest::waitingForRequestLine:
        return "waitingForRequestLine";
    case HttpRequest::waitingForHeaders:
        return "waitingForHeaders";
    case HttpRequest::waitingForBody:
        return "waitingForBody";
    case HttpRequest::complete:
        return "complete";
    case HttpRequest::aborted:
        return "aborted";
    }
    return "?";
}

bool isFinal(const HttpRequest &request)
{
    return request.getStatus() == HttpRequest::complete || request.getStatus() == HttpRequest::aborted;
}

// Everything the request tells about itself, one "what=value" line each. Lookups go through the
// upper-cased header name, so every line also shows that header names are case-insensitive.
QByteArrayList describe(HttpRequest &request)
{
    QByteArrayList lines;
    lines << QByteArray("status=") + statusName(request.getStatus());
    lines << "method=" + request.getMethod() << "raw=" + request.getRawPath() << "path=" + request.getPath()
          << "version=" + request.getVersion() << "peer=" + request.getPeerAddress().toString().toLatin1()
          << "body=" + request.getBody();
    const QMultiMap<QByteArray, QByteArray> headers = request.getHeaderMap();
    for (const QByteArray &name : headers.uniqueKeys()) {
        lines << "header:" + name + '=' + request.getHeaders(name.toUpper()).join('|');
        lines << "latest:" + name + '=' + request.getHeader(name.toUpper());
    }
    const QMultiMap<QByteArray, QByteArray> parameters = request.getParameterMap();
    for (const QByteArray &name : parameters.uniqueKeys()) {
        lines << "param:" + name + '=' + request.getParameters(name).join('|');
        if (QTemporaryFile *file = request.getUploadedFile(name)) {
            const qint64 position = file->pos();
            lines << "file:" + name + '=' + QByteArray::number(position) + ':' + file->readAll();
        }
    }
    const QMap<QByteArray, QByteArray> &cookies = request.getCookieMap();
    for (auto it = cookies.cbegin(); it != cookies.cend(); ++it)
        lines << "cookie:" + it.key() + '=' + it.value();
    return lines;
}

QByteArray multipart(const QByteArray &boundary, const QByteArray &parts, const QByteArray &contentType = {})
{
    const QByteArray type = contentType.isEmpty() ? "multipart/form-data; boundary=" + boundary : contentType;
    return "POST /upload HTTP/1.1\r\nContent-Type: " + type
        + "\r\nContent-Length: " + QByteArray::number(parts.size()) + "\r\n\r\n" + parts;
}

QByteArray fieldPart(const QByteArray &boundary, const QByteArray &name, const QByteArray &value)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value
        + "\r\n";
}

QByteArray filePart(
    const QByteArray &boundary, const QByteArray &name, const QByteArray &fileName, const QByteArray &data)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\""
        + fileName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

// A multipart upload whose body is exactly size bytes, most of them in one file part.
QByteArray multipartOfSize(int size)
{
    const QByteArray boundary = "SIZE";
    const QByteArray empty = filePart(boundary, "u", "big.bin", QByteArray()) + "--" + boundary + "--\r\n";
    return multipart(boundary,
        filePart(boundary, "u", "big.bin", QByteArray(size - empty.size(), 'z')) + "--" + boundary
            + "--\r\n");
}

} // namespace

class TestHttpRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void initTestCase();
    void parse_data();
    void parse();
    void pipelined_data();
    void pipelined();
    void completeIsFinal();
    void uploadedFilesAreRemoved();
    void urlDecode_data();
    void urlDecode();

private:
    // Sends input from the client in pieces of chunkSize (0: at once) and parses the server
    // side like a connection handler does: one request after the other.
    std::vector<std::unique_ptr<HttpRequest>> parseAll(const QByteArray &input, int chunkSize);

    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
};

void TestHttpRequest::initTestCase_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("tls") << true;
}

void TestHttpRequest::initTestCase()
{
    QVERIFY(dir.isValid());
    settings = HttpTestSupport::createSettings(dir, false);
}

std::vector<std::unique_ptr<HttpRequest>> TestHttpRequest::parseAll(const QByteArray &input, int chunkSize)
{
    QFETCH_GLOBAL(bool, tls);
    SocketPair pair(tls);
    std::vector<std::unique_ptr<HttpRequest>> requests;
    if (!pair.open()) {
        qWarning("socket pair did not connect");
        return requests;
    }
    QSslSocket *server = pair.server();
    requests.push_back(std::make_unique<HttpRequest>(settings.get()));
    const int step = chunkSize > 0 ? chunkSize : qMax(1, input.size());
    for (int i = 0; i < input.size(); i += step) {
        if (!pair.sendToServer(input.mid(i, step))) {
            qWarning("bytes did not arrive");
            return requests;
        }
        while (server->bytesAvailable() > 0) {
            HttpRequest &request = *requests.back();
            while (server->bytesAvailable() > 0 && !isFinal(request))
                request.readFromSocket(server);
            if (request.getStatus() == HttpRequest::aborted)
                return requests;
            if (request.getStatus() == HttpRequest::complete)
                requests.push_back(std::make_unique<HttpRequest>(settings.get()));
        }
    }
    return requests;
}

void TestHttpRequest::parse_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("chunkSize");
    QTest::addColumn<QByteArrayList>("expected");

    // Each case is sent at once and in pieces of 7 bytes; small ones also byte by byte.
    const auto add = [](const char *name, const QByteArray &input, const QByteArrayList &expected) {
        QTest::addRow("%s/whole", name) << input << 0 << expected;
        QTest::addRow("%s/7", name) << input << 7 << expected;
        if (input.size() < 600)
            QTest::addRow("%s/bytes", name) << input << 1 << expected;
    };
    const auto addWhole = [](const char *name, const QByteArray &input, const QByteArrayList &expected) {
        QTest::addRow("%s/whole", name) << input << 0 << expected;
    };

    add("simple get", "GET / HTTP/1.1\r\n\r\n",
        { "status=complete", "method=GET", "raw=/", "path=/", "version=HTTP/1.1", "peer=127.0.0.1",
            "body=" });
    add("method case kept", "get /x HTTP/1.1\r\n\r\n", { "status=complete", "method=get" });
    add("blank lines before the request line", "\r\n\n\r\nGET /x HTTP/1.1\r\nHost: a\r\n\r\n",
        { "status=complete", "raw=/x", "header:host=a" });
    add("two spaces", "GET  / HTTP/1.1\r\n\r\n", { "status=aborted" });
    add("two words", "GET /\r\n\r\n", { "status=aborted" });
    add("four words", "GET / x HTTP/1.1\r\n\r\n", { "status=aborted" });
    add("version without HTTP", "GET / FTP/1.0\r\n\r\n", { "status=aborted" });
    add("bare line feeds", "POST /p HTTP/1.1\nContent-Length: 3\nX-A: 1\n\nabc",
        { "status=complete", "header:x-a=1", "body=abc" });
    add("header names in either case",
        "GET / HTTP/1.1\r\nContent-Type: text/plain\r\nx-other: 1\r\ncontent-TYPE: text/html\r\n\r\n",
        { "header:content-type=text/html|text/plain", "latest:content-type=text/html", "header:x-other=1" });
    add("repeated headers", "GET / HTTP/1.1\r\nX-A: 1\r\nX-A: 2\r\n\r\n",
        { "header:x-a=2|1", "latest:x-a=2" });
    add("value trimmed, empty value kept", "GET / HTTP/1.1\r\nX-Long-Name:   v w  \r\nX-Empty:\r\n\r\n",
        { "header:x-long-name=v w", "header:x-empty=" });
    add("continuation line", "GET / HTTP/1.1\r\nX-A: one\r\n  two\r\nX-B: 1\r\n\r\n",
        { "header:x-a=one two|one", "latest:x-a=one two", "header:x-b=1" });
    add("continuation lines extend one folded entry",
        "GET / HTTP/1.1\r\nX-A: one\r\n  two\r\n\tthree\r\n\r\n", { "header:x-a=one two three|one" });
    add("continuation of a repeated header", "GET / HTTP/1.1\r\nX-A: 1\r\nX-A: 2\r\n more\r\n\r\n",
        { "header:x-a=2 more|2|1" });
    add("line starting with a colon continues", "GET / HTTP/1.1\r\nX-A: 1\r\n: 2\r\n\r\n",
        { "header:x-a=1 : 2|1" });
    add("continuation before any header is dropped", "GET / HTTP/1.1\r\n  stray\r\nX-A: 1\r\n\r\n",
        { "status=complete", "header:x-a=1", "!header:=" });
    add("content-length zero", "POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
        { "status=complete", "body=" });
    add("content-length not a number", "POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\nabc",
        { "status=aborted" });
    add("content-length negative", "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", { "status=aborted" });
    add("content-length with sign", "POST / HTTP/1.1\r\nContent-Length: +3\r\n\r\nabc", { "status=aborted" });
    add("content-length with suffix", "POST / HTTP/1.1\r\nContent-Length: 3x\r\n\r\nabc",
        { "status=aborted" });
    add("content-length beyond int", "POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n",
        { "status=aborted" });
    add("content-length trimmed", "POST / HTTP/1.1\r\nContent-Length:   3  \r\n\r\nabc",
        { "status=complete", "body=abc" });
    add("plain body not decoded",
        "POST /p HTTP/1.1\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\nhello",
        { "status=complete", "body=hello", "!param:" });
    add("query parameters", "GET /a%20b?x=1&x=2&y HTTP/1.1\r\n\r\n",
        { "raw=/a%20b", "path=/a b", "param:x=2|1", "param:y=" });
    add("empty query parts skipped", "GET /?&&x=1&& HTTP/1.1\r\n\r\n", { "raw=/", "param:x=1", "!param:=" });
    add("encoded parameter names", "GET /?%41+b=%zz&+n+=+v+ HTTP/1.1\r\n\r\n",
        { "param:A b=%zz", "param: n = v " });
    add("form body after query",
        "POST /p?x=1 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
        "Content-Length: 3\r\n\r\nx=3",
        { "param:x=3|1", "body=x=3" });
    add("json body not decoded",
        "POST /p?x=1 HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 3\r\n\r\nx=3",
        { "param:x=1", "body=x=3" });
    add("body without content type decoded", "POST /p HTTP/1.1\r\nContent-Length: 11\r\n\r\na=1&b=c%26d",
        { "param:a=1", "param:b=c&d" });
    add("cookies", "GET / HTTP/1.1\r\nCookie: a=1; b=2\r\n\r\n",
        { "cookie:a=1", "cookie:b=2", "!header:cookie" });
    add("cookies over two headers", "GET / HTTP/1.1\r\nCookie: a=\"x;y\"\r\ncookie: c=3;flag\r\n\r\n",
        { "cookie:a=x;y", "cookie:c=3", "cookie:flag=", "!header:cookie" });

    const QByteArray b = "XyZ";
    add("multipart field and file",
        multipart(b,
            "preamble\r\n" + fieldPart(b, "f", "abc") + filePart(b, "u", "x.txt", "hello") + "--" + b
                + "--\r\n"),
        { "status=complete", "param:f=abc", "param:u=x.txt", "file:u=0:hello", "body=" });
    add("quoted boundary",
        multipart(b, fieldPart(b, "f", "abc") + "--" + b + "--\r\n", "multipart/form-data; boundary=\"XyZ\""),
        { "status=complete", "param:f=abc" });
    add("multipart file with line breaks",
        multipart(b, filePart(b, "u", "two.txt", "line1\r\nline2\n") + "--" + b + "--\r\n"),
        { "file:u=0:line1\r\nline2\n" });
    add("multipart empty field", multipart(b, fieldPart(b, "f", "") + "--" + b + "--\r\n"), { "param:f=" });
    add("multipart file without data is skipped",
        multipart(b,
            "--" + b + "\r\nContent-Disposition: form-data; name=\"u\"; filename=\"e.txt\"\r\n\r\n--" + b
                + "\r\n" + "Content-Disposition: form-data; name=\"f\"\r\n\r\nabc\r\n--" + b + "--\r\n"),
        { "status=complete", "param:f=abc", "!param:u", "!file:u" });
    add("multipart part without name dropped",
        multipart(b,
            "--" + b + "\r\nContent-Disposition: form-data\r\n\r\nlost\r\n" + fieldPart(b, "f", "abc") + "--"
                + b + "--\r\n"),
        { "param:f=abc", "!param:=" });
    add("multipart attachment part ignored",
        multipart(b,
            "--" + b + "\r\nContent-Disposition: attachment; name=\"a\"\r\n\r\nlost\r\n"
                + fieldPart(b, "f", "1") + "--" + b + "--\r\n"),
        { "param:f=1", "!param:a" });
    add("multipart without closing boundary keeps the finished parts",
        multipart(b,
            fieldPart(b, "f", "abc") + "--" + b
                + "\r\nContent-Disposition: form-data; name=\"u\"; "
                  "filename=\"t.txt\"\r\n\r\ncut off\r\n"),
        { "status=complete", "param:f=abc", "!param:u", "!file:u" });
    add("repeated file field keeps the last file",
        multipart(b,
            filePart(b, "u", "1.txt", "first") + filePart(b, "u", "2.txt", "second") + "--" + b + "--\r\n"),
        { "param:u=2.txt|1.txt", "file:u=0:second" });

    // Request line and headers of 16000 bytes in all are accepted, one byte more is not.
    const QByteArray head = "GET / HTTP/1.1\r\nX-Pad: ";
    add("head of exactly the default limit", head + QByteArray(16000 - head.size() - 4, 'p') + "\r\n\r\n",
        { "status=complete" });
    add("head one byte over the default limit", head + QByteArray(16001 - head.size() - 4, 'p') + "\r\n\r\n",
        { "status=aborted" });
    addWhole("request line over the default limit", "GET /" + QByteArray(16100, 'a') + " HTTP/1.1\r\n\r\n",
        { "status=aborted" });

    // The announced body counts together with the head against the same limit.
    const QByteArray post = "POST / HTTP/1.1\r\nContent-Length: 00000\r\n\r\n";
    const int allowance = 16000 - post.size();
    addWhole("announced body over the default limit",
        "POST / HTTP/1.1\r\nContent-Length: " + QByteArray::number(allowance + 1) + "\r\n\r\n",
        { "status=aborted" });
    addWhole("body up to the default limit",
        "POST / HTTP/1.1\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(allowance - 26)
            + "\r\n\r\n" + QByteArray(allowance - 26, 'b'),
        { "status=complete" });
    addWhole("announced body waits for its bytes",
        "POST / HTTP/1.1\r\nContent-Length: " + QByteArray::number(allowance) + "\r\n\r\npartial",
        { "status=waitingForBody" });

    // A multipart body of exactly the limit passes the header check but is rejected once received.
    addWhole("multipart body of exactly the default limit", multipartOfSize(1000000), { "status=aborted" });
    addWhole("multipart body one byte under the default limit", multipartOfSize(999999),
        { "status=complete", "param:u=big.bin" });
    addWhole("announced multipart body over the default limit",
        "POST / HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\nContent-Length: 1000001\r\n\r\n",
        { "status=aborted" });
}

void TestHttpRequest::parse()
{
    QFETCH(QByteArray, input);
    QFETCH(int, chunkSize);
    QFETCH(QByteArrayList, expected);

    const auto requests = parseAll(input, chunkSize);
    QVERIFY(!requests.empty());
    const QByteArrayList lines = describe(*requests.front());
    for (const QByteArray &line : expected) {
        if (line.startsWith('!')) {
            for (const QByteArray &actual : lines)
                QVERIFY2(!actual.startsWith(line.mid(1)), actual.constData());
        } else {
            QVERIFY2(lines.contains(line), (line + " not in\n" + lines.join('\n').left(2000)).constData());
        }
    }
}

void TestHttpRequest::pipelined_data()
{
    QTest::addColumn<int>("chunkSize");
    QTest::newRow("one write") << 0;
    QTest::newRow("pieces of 5") << 5;
    QTest::newRow("byte by byte") << 1;
}

void TestHttpRequest::pipelined()
{
    QFETCH(int, chunkSize);
    const QByteArray input = "GET /1 HTTP/1.1\r\n\r\n"
                             "POST /2 HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc"
                             "GET /3?q=1 HTTP/1.1\r\nCookie: c=1\r\n\r\n";
    const auto requests = parseAll(input, chunkSize);
    QCOMPARE(int(requests.size()), 4);
    QCOMPARE(requests[0]->getRawPath(), QByteArray("/1"));
    QCOMPARE(requests[1]->getRawPath(), QByteArray("/2"));
    QCOMPARE(requests[1]->getBody(), QByteArray("abc"));
    QCOMPARE(requests[2]->getRawPath(), QByteArray("/3"));
    QCOMPARE(requests[2]->getParameter("q"), QByteArray("1"));
    QCOMPARE(requests[2]->getCookie("c"), QByteArray("1"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(requests[i]->getStatus(), HttpRequest::complete);
    QCOMPARE(requests[3]->getStatus(), HttpRequest::waitingForRequestLine);
}

void TestHttpRequest::completeIsFinal()
{
    QFETCH_GLOBAL(bool, tls);
    SocketPair pair(tls);
    QVERIFY(pair.open());
    HttpRequest request(settings.get());
    QVERIFY(pair.sendToServer("GET /?x=1 HTTP/1.1\r\n\r\nGET /next HTTP/1.1\r\n\r\n"));
    while (!isFinal(request))
        request.readFromSocket(pair.server());
    const qint64 left = pair.server()->bytesAvailable();
    QVERIFY(left > 0);

    request.readFromSocket(pair.server());
    QCOMPARE(request.getStatus(), HttpRequest::complete);
    QCOMPARE(pair.server()->bytesAvailable(), left);
    QCOMPARE(request.getParameters("x"), QByteArrayList { "1" });
}

void TestHttpRequest::uploadedFilesAreRemoved()
{
    QFETCH_GLOBAL(bool, tls);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const auto restore = qScopeGuard([&oldTemp] { qputenv("TMPDIR", oldTemp); });
    // Temporary files may have no name in the folder until asked for one, so count the open
    // descriptors that point into it.
    const auto filesInTemp = [&temp] {
        int count = 0;
        const QDir descriptors(QStringLiteral("/proc/self/fd"));
        for (const QString &name :
            descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            char target[4096];
            const ssize_t length = ::readlink(qPrintable(descriptors.filePath(name)), target, sizeof target);
            if (length > 0 && QByteArray(target, int(length)).startsWith(temp.path().toLocal8Bit()))
                ++count;
        }
        return count;
    };

    const QByteArray b = "B";
    const QByteArray input = multipart(b,
        filePart(b, "u", "1.txt", "first") + filePart(b, "u", "2.txt", "second")
            + filePart(b, "v", "3.txt", "third") + "--" + b
            + "\r\nContent-Disposition: form-data; name=\"w\"; filename=\"4\"\r\n\r\n"
              "never finished\r\n");
    {
        SocketPair pair(tls);
        QVERIFY(pair.open());
        HttpRequest request(settings.get());
        QVERIFY(pair.sendToServer(input));
        while (!isFinal(request))
            request.readFromSocket(pair.server());
        QCOMPARE(request.getStatus(), HttpRequest::complete);
        QVERIFY(request.getUploadedFile("u"));
        QVERIFY(request.getUploadedFile("v"));
        QVERIFY(!request.getUploadedFile("w"));
        // The body's own file and one file each for "u" and "v"; the replaced and the
        // unfinished upload are gone already.
        QCOMPARE(filesInTemp(), 3);
    }
    QCOMPARE(filesInTemp(), 0);
}

void TestHttpRequest::urlDecode_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("decoded");

    QTest::newRow("plus and encoded plus") << QByteArray("a+b%2Bc") << QByteArray("a b+c");
    QTest::newRow("invalid escape kept") << QByteArray("%41%zz") << QByteArray("A%zz");
    QTest::newRow("decoded percent not decoded again") << QByteArray("%2541") << QByteArray("%41");
    QTest::newRow("half-valid escape kept") << QByteArray("%4g") << QByteArray("%4g");
    QTest::newRow("one digit at the end") << QByteArray("a%4") << QByteArray("a\x04");
    QTest::newRow("percent at the end") << QByteArray("a%") << QByteArray("a%");
    QTest::newRow("sign is not a digit") << QByteArray("%-1") << QByteArray("%-1");
    QTest::newRow("space is not a digit") << QByteArray("%+4") << QByteArray("% 4");
    QTest::newRow("nul byte") << QByteArray("a%00b") << QByteArray("a\0b", 3);
    QTest::newRow("high bytes, either case") << QByteArray("%C3%a9%fF") << QByteArray("\xc3\xa9\xff");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestHttpRequest::urlDecode()
{
    QFETCH(QByteArray, source);
    QTEST(HttpRequest::urlDecode(source), "decoded");
}

QTEST_GUILESS_MAIN(TestHttpRequest)
#include "tst_httprequest.moc"
