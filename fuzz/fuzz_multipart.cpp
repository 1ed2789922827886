// Feeds arbitrary multipart bodies, under varying limits, to HttpRequest behind a well-formed head,
// so the fuzzer spends its time in the multipart parser: parts and files stay within their limits,
// uploads hold no descriptor until asked for, and a deleted request leaves no file open.
#include "httprequest.h"
#include "httpserverconfig.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
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

// Temporary files this process holds open; the fuzzer's own descriptors come and go.
int openFiles()
{
    int count = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &entry : descriptors.entryInfoList(QDir::Files | QDir::System))
        count += entry.symLinkTarget().contains(QLatin1String("/qt_temp."));
    return count;
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
    const int maxParts = provider.ConsumeIntegralInRange(1, 8);
    const int maxFiles = provider.ConsumeIntegralInRange(1, 4);
    const int maxParameters = provider.ConsumeIntegralInRange(1, 16);
    HttpServerConfig limits;
    limits.maxRequestSize = 16000;
    limits.maxMultiPartSize = 65536;
    limits.maxMultiPartParts = maxParts;
    limits.maxUploadedFiles = maxFiles;
    limits.maxParameters = maxParameters;
    const std::string boundary = provider.ConsumeRandomLengthString(16);
    const std::string body = provider.ConsumeRemainingBytesAsString();

    QByteArray stream = "POST /upload?a=1 HTTP/1.1\r\nContent-Type: multipart/form-data; boundary="
        + QByteArray::fromStdString(boundary) + "\r\nContent-Length: " + QByteArray::number(int(body.size()))
        + "\r\n\r\n" + QByteArray::fromStdString(body);
    QBuffer device(&stream);
    device.open(QIODevice::ReadOnly);

    const int filesBefore = openFiles();
    {
        HttpRequest request(limits);
        while (device.bytesAvailable() > 0 && request.getStatus() != HttpRequest::complete
            && request.getStatus() != HttpRequest::aborted)
            request.readFromSocket(&device);
        if (request.getStatus() == HttpRequest::complete) {
            const QMultiMap<QByteArray, QByteArray> parameters = request.getParameterMap();
            check(parameters.size() <= maxParameters);
            // The body's own file is all a finished request holds until an upload is asked for.
            check(openFiles() <= filesBefore + 1);
            int files = 0;
            for (const QByteArray &name : parameters.uniqueKeys()) {
                if (QTemporaryFile *file = request.getUploadedFile(name)) {
                    ++files;
                    check(file->pos() == 0 && file->size() <= 65536);
                }
            }
            check(files <= maxFiles);
        }
    }
    check(openFiles() == filesBefore);
    return 0;
}
