// Requests parsed the way a connection handler does it: one after the other from one stream,
// the bytes arriving all at once or one at a time (a CR LF split across reads ends no line).
#include "httprequest.h"
#include "httpserverconfig.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// What each request tells about itself, one "what=value" line each; the lines of the second and
// later requests start with the request's number. Headers are looked up by their upper-cased name.
QByteArrayList parse(const QByteArray &input, int piece)
{
    HttpServerConfig limits;
    limits.maxRequestSize = 16000;
    limits.maxMultiPartSize = 1000000;
    QByteArray stream;
    QBuffer device(&stream);
    device.open(QIODevice::ReadOnly);
    std::vector<std::unique_ptr<HttpRequest>> requests;
    requests.push_back(std::make_unique<HttpRequest>(limits));
    for (int i = 0; i < input.size(); i += piece) {
        stream.append(input.mid(i, piece));
        while (device.bytesAvailable() > 0 && requests.back()->getStatus() != HttpRequest::aborted) {
            requests.back()->readFromSocket(&device);
            if (requests.back()->getStatus() == HttpRequest::complete)
                requests.push_back(std::make_unique<HttpRequest>(limits));
        }
    }
    static const char *const statuses[] = { "line", "headers", "body", "complete", "aborted" };
    QByteArrayList lines;
    for (size_t i = 0; i < requests.size(); ++i) {
        HttpRequest &r = *requests[i];
        const QByteArray n = i ? QByteArray::number(qulonglong(i)) + ':' : QByteArray();
        lines << n + "status=" + statuses[r.getStatus()] << n + "method=" + r.getMethod()
              << n + "raw=" + r.getRawPath() << n + "path=" + r.getPath() << n + "version=" + r.getVersion()
              << n + "body=" + r.getBody();
        for (const QByteArray &name : r.getHeaderMap().uniqueKeys())
            lines << n + "header:" + name + '=' + r.getHeaders(name.toUpper()).join('|');
        for (const QByteArray &name : r.getParameterMap().uniqueKeys()) {
            lines << n + "param:" + name + '=' + r.getParameters(name).join('|');
            if (QTemporaryFile *file = r.getUploadedFile(name))
                lines << n + "file:" + name + '=' + file->readAll();
        }
        const QMap<QByteArray, QByteArray> &cookies = r.getCookieMap();
        for (auto it = cookies.cbegin(); it != cookies.cend(); ++it)
            lines << n + "cookie:" + it.key() + '=' + it.value();
    }
    return lines;
}

QByteArray multipart(const QByteArray &type, const QByteArray &parts)
{
    return "POST /up HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=" + type
        + "\r\nContent-Length: " + QByteArray::number(parts.size()) + "\r\n\r\n" + parts;
}

QByteArray part(const QByteArray &name, const QByteArray &value, const QByteArray &file = QByteArray())
{
    return "--B\r\nContent-Disposition: form-data; name=\"" + name + '"'
        + (file.isEmpty() ? QByteArray() : "; filename=\"" + file + '"') + "\r\n\r\n" + value + "\r\n";
}

// A multipart upload whose body is exactly size bytes.
QByteArray multipartOfSize(int size)
{
    const int framing = part("u", QByteArray(), "big.bin").size() + 7;
    return multipart("B", part("u", QByteArray(size - framing, 'z'), "big.bin") + "--B--\r\n");
}

} // namespace

class tst_HttpRequest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void tst_HttpRequest::parse_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("piece");
    // Lines that must be there; "!text" means no line starts with text.
    QTest::addColumn<QByteArrayList>("expected");

    const auto add = [](const char *name, const QByteArray &input, const QByteArrayList &expected) {
        QTest::addRow("%s, at once", name) << input << input.size() << expected;
        if (input.size() < 20000)
            QTest::addRow("%s, byte by byte", name) << input << 1 << expected;
    };
    add("query", "GET /a%20b?x=1&x=2&y HTTP/1.1\r\n\r\n",
        { "status=complete", "method=GET", "raw=/a%20b", "path=/a b", "version=HTTP/1.1", "param:x=2|1",
            "param:y=" });
    add("blank lines, bare line feeds, header names in any case, folding",
        "\r\n\nget /x HTTP/1.1\nContent-Type: text/plain\r\ncontent-TYPE:  a \r\nX-A: one\r\n  two\n\r\n",
        { "status=complete", "method=get", "header:content-type=a|text/plain", "header:x-a=one two|one" });
    add("two spaces", "GET  / HTTP/1.1\r\n\r\n", { "status=aborted" });
    add("two words", "GET /\r\n\r\n", { "status=aborted" });
    add("not HTTP", "GET / FTP/1.0\r\n\r\n", { "status=aborted" });
    add("negative length", "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", { "status=aborted" });
    add("length with a sign", "POST / HTTP/1.1\r\nContent-Length: +3\r\n\r\nabc", { "status=aborted" });
    add("pipelined",
        "GET /1 HTTP/1.1\r\n\r\nPOST /2 HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcGET /3 HTTP/1.1\r\n\r\n",
        { "raw=/1", "1:raw=/2", "1:body=abc", "2:status=complete", "2:raw=/3", "3:status=line" });
    add("form body after the query",
        "POST /p?x=1 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded; charset=UTF-8\r\n"
        "Content-Length: 3\r\n\r\nx=3",
        { "param:x=3|1" });
    add("JSON body not decoded",
        "POST /p?x=1 HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 3\r\n\r\nx=3",
        { "param:x=1", "body=x=3" });
    add("only real escapes decoded", "GET /?a=%41%zz&b=%2541&c=%4g&d=a+b%2B&%41+b=%zz HTTP/1.1\r\n\r\n",
        { "param:a=A%zz", "param:b=%41", "param:c=%4g", "param:d=a b+", "param:A b=%zz" });
    add("cookies", "GET / HTTP/1.1\r\nCookie: a=\"x;y\"; b=2\r\ncookie: c=3\r\n\r\n",
        { "cookie:a=x;y", "cookie:b=2", "cookie:c=3", "!header:cookie" });
    add("multipart field and file",
        multipart("\"B\"", "preamble\r\n" + part("f", "abc") + part("u", "hel\r\nlo", "x.txt") + "--B--\r\n"),
        { "status=complete", "param:f=abc", "param:u=x.txt", "file:u=hel\r\nlo" });
    add("unfinished part dropped", multipart("B", part("f", "abc") + part("w", "cut off", "w.txt")),
        { "status=complete", "param:f=abc", "!param:w", "!file:w" });

    // The request line and headers may take 16000 bytes, and a plain body the rest of them.
    const QByteArray head = "GET / HTTP/1.1\r\nX-Pad: ";
    add("head of the limit", head + QByteArray(16000 - head.size() - 4, 'p') + "\r\n\r\n",
        { "status=complete" });
    add("head over the limit", head + QByteArray(16001 - head.size() - 4, 'p') + "\r\n\r\n",
        { "status=aborted" });
    const QByteArray post = "POST / HTTP/1.1\r\nContent-Length: 15958\r\n\r\n";
    add("body to the limit", post + QByteArray(15958, 'b'), { "status=complete" });
    add("body announced over the limit", "POST / HTTP/1.1\r\nContent-Length: 15959\r\n\r\n",
        { "status=aborted" });
    // A multipart body is rejected once it reaches its limit.
    add("multipart under its limit", multipartOfSize(999999), { "status=complete", "param:u=big.bin" });
    add("multipart of its limit", multipartOfSize(1000000), { "status=aborted" });
}

void tst_HttpRequest::parse()
{
    QFETCH(QByteArray, input);
    QFETCH(int, piece);
    QFETCH(QByteArrayList, expected);
    const QByteArrayList lines = ::parse(input, piece);
    for (const QByteArray &line : expected) {
        if (line.startsWith('!')) {
            for (const QByteArray &actual : lines)
                QVERIFY2(!actual.startsWith(line.mid(1)), actual.constData());
        } else {
            QVERIFY2(lines.contains(line), (line + " not in\n" + lines.join('\n').left(3000)).constData());
        }
    }
}

QTEST_GUILESS_MAIN(tst_HttpRequest)
#include "tst_httprequest.moc"
