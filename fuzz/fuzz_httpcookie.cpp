// Feeds arbitrary bytes to the cookie parser, splitCSV and urlDecode.
#include "httpcookie.h"
#include "httprequest.h"

#include <QByteArray>

#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool initialised = [] {
        qInstallMessageHandler(quiet);
        return true;
    }();
    (void)initialised;

    const QByteArray input(reinterpret_cast<const char *>(data), int(size));

    const QList<QByteArray> parts = HttpCookie::splitCSV(input);
    for (const QByteArray &part : parts) {
        check(!part.isEmpty());
        check(part.size() <= input.size());
    }

    const HttpCookie cookie(input);
    const QByteArray rendered = cookie.toByteArray();
    check(rendered.endsWith("; Version=" + QByteArray::number(cookie.getVersion())));

    const QByteArray decoded = HttpRequest::urlDecode(input);
    check(decoded.size() <= input.size());

    // Every byte written as %XX decodes back to itself.
    check(HttpRequest::urlDecode(input.toPercentEncoding("", "", '%')) == input
        || input.toPercentEncoding("", "", '%').isEmpty());
    return 0;
}
