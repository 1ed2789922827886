// Arbitrary bytes as a print job: the text up to the first NUL is parsed as the JSON command
// array; bytes after it, if any, are appended as an inline image. The job is translated only,
// and "http" images go to a closed loopback port.
#include "printjob.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr int maxSide = 1024;
constexpr qint64 maxImageBytes = 4 * 1024 * 1024;

QByteArray closedUrl;

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

} // namespace

// Qt 5.15's QJsonDocument::fromJson leaks an object or array value that a later duplicate key
// replaces. Qt is built without frame pointers, so the parser frame is found only by full unwinding.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:QJsonDocument::fromJson\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Never destroyed: Qt's network globals are torn down at exit without it.
    new QCoreApplication(*argc, *argv);
    qInstallMessageHandler(quiet);
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    closedUrl = "http://127.0.0.1:" + QByteArray::number(probe.serverPort()) + "/";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const int nul = input.indexOf('\0');
    QJsonArray commands = QJsonDocument::fromJson(nul < 0 ? input : input.left(nul)).array();
    if (nul >= 0)
        commands.append(QJsonObject { { QStringLiteral("op"), QStringLiteral("image") },
            { QStringLiteral("data"), QString::fromLatin1(input.mid(nul + 1).toBase64()) } });
    int images = 0;
    int qrCodes = 0;
    for (int i = 0; i < commands.size(); ++i) {
        QJsonObject command = commands.at(i).toObject();
        qrCodes += command.value(QStringLiteral("op")).toString() == QLatin1String("qrcode");
        if (command.value(QStringLiteral("op")).toString() != QLatin1String("image"))
            continue;
        ++images;
        if (command.value(QStringLiteral("data")).toString().startsWith(QLatin1String("http"))) {
            command.insert(QStringLiteral("data"), QString::fromLatin1(closedUrl));
            commands.replace(i, command);
        }
    }

    PrintJob job(commands, size % 2 == 1);
    ImageSource source;
    source.setFetchLimits(200, 65536);
    source.setSizeLimits(maxSide, maxImageBytes);
    job.setImageSource(source);
    job.translate();

    // Text costs at most 7 bytes a character plus framing; an image at most its dots plus band framing;
    // a QR code that Varnel draws (asked for, or for a fiscal profile) at most version 40 with its quiet
    // zone at 16 dots a module, plus a profile's captions.
    const qint64 perImage = qint64(maxSide) * maxSide / 8 + (maxSide / 8 + 1) * 16 + 64;
    const qint64 qrSide = (177 + 8) * 16;
    const qint64 perQrCode = qrSide * qrSide / 8 + (qrSide / 8 + 1) * 16 + 256;
    if (job.bytes().size() > 64 + 8 * qint64(size) + images * perImage + qrCodes * perQrCode)
        abort();
    return 0;
}
