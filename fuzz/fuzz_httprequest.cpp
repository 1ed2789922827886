// Feeds arbitrary bytes, in arbitrary splits and under varying size limits, to HttpRequest the
// way a connection handler does: one request after the other from the same stream.
#include "httprequest.h"
#include "httpserverconfig.h"

#include <QBuffer>
#include <QTemporaryFile>

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Uses everything a finished request offers, and checks that it stayed within the limits.
void inspect(HttpRequest &request, int maxRequestSize, int maxMultiPartSize)
{
    check(request.getBody().size() <= maxRequestSize);
    request.getPath();
    const QMultiMap<QByteArray, QByteArray> parameters = request.getParameterMap();
    for (const QByteArray &name : parameters.uniqueKeys()) {
        request.getParameters(name);
        if (QTemporaryFile *file = request.getUploadedFile(name)) {
            check(file->pos() == 0);
            check(file->size() <= maxMultiPartSize);
        }
    }
    const QMultiMap<QByteArray, QByteArray> headers = request.getHeaderMap();
    qint64 headerBytes = 0;
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        headerBytes += it.key().size() + it.value().size();
    // Every header line is stored once, plus at most one folded copy per header.
    check(headerBytes <= 3 * qint64(maxRequestSize) + 16);
    check(request.getHeader("cookie").isEmpty());
    request.getCookieMap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool initialised = [] {
        qInstallMessageHandler(quiet);
        return true;
    }();
    (void)initialised;

    FuzzedDataProvider provider(data, size);
    const int maxRequestSize = provider.ConsumeIntegralInRange(1, 4096);
    const int maxMultiPartSize = provider.ConsumeIntegralInRange(1, 8192);
    HttpServerConfig limits;
    limits.maxRequestSize = maxRequestSize;
    limits.maxMultiPartSize = maxMultiPartSize;

    QByteArray stream;
    QBuffer device(&stream);
    device.open(QIODevice::ReadOnly);
    auto request = std::make_unique<HttpRequest>(limits);
    while (provider.remaining_bytes() > 0) {
        const size_t piece = provider.ConsumeIntegralInRange<size_t>(1, 512);
        const std::string bytes = provider.ConsumeBytesAsString(piece);
        stream.append(bytes.data(), int(bytes.size()));
        while (device.bytesAvailable() > 0) {
            const qint64 before = device.bytesAvailable();
            request->readFromSocket(&device);
            const HttpRequest::RequestStatus status = request->getStatus();
            if (status == HttpRequest::aborted)
                return 0;
            if (status == HttpRequest::complete) {
                inspect(*request, maxRequestSize, maxMultiPartSize);
                request = std::make_unique<HttpRequest>(limits);
            } else {
                // Anything short of a finished request must make progress.
                check(device.bytesAvailable() < before);
            }
        }
    }
    return 0;
}
