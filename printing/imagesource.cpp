#include "imagesource.h"

#include <QBuffer>
#include <QEventLoop>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSemaphore>
#include <QTemporaryFile>
#include <QTimer>

#include <malloc.h>

int ImageSource::fetchTimeoutMs()
{
    const int ms = qEnvironmentVariableIntValue("VARNEL_IMAGE_FETCH_TIMEOUT_MS");
    return ms > 0 ? ms : defaultFetchTimeoutMs;
}

void ImageSource::setFetchLimits(int timeoutMs, qint64 maxBytes)
{
    m_fetchTimeoutMs = timeoutMs;
    m_fetchMaxBytes = maxBytes;
}

void ImageSource::setSizeLimits(int maxSide, qint64 maxBytes)
{
    m_maxSide = maxSide;
    m_maxBytes = maxBytes;
}

QImage ImageSource::image(const QString &source, QSemaphoreReleaser *claim) const
{
    if (source.startsWith(QLatin1String("http"))) {
        const std::unique_ptr<QIODevice> body = fetch(source);
        return body ? decode(body.get(), nullptr, claim) : QImage();
    }
    const int comma = source.indexOf(QLatin1Char(','));
    QBuffer buffer;
    buffer.setData(QByteArray::fromBase64((comma < 0 ? source : source.mid(comma + 1)).toUtf8()));
    buffer.open(QIODevice::ReadOnly);
    return decode(&buffer, "PNG", claim);
}

std::unique_ptr<QIODevice> ImageSource::fetch(const QString &url) const
{
    QNetworkAccessManager manager;
    QNetworkRequest request { QUrl(url) };
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));

    // The body goes to disk as it comes: twenty jobs fetching at once keep none of it in memory.
    auto body = std::make_unique<QTemporaryFile>();
    bool withinBounds = body->open();
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    const auto stop = [&] {
        withinBounds = false;
        reply->abort();
    };
    QObject::connect(&deadline, &QTimer::timeout, &loop, stop);
    // A declared length over the bound ends the download as soon as the headers arrive.
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > m_fetchMaxBytes)
            stop();
    });
    const auto store = [&] {
        if (!withinBounds)
            return;
        const QByteArray chunk = reply->read(m_fetchMaxBytes + 1 - body->size());
        if (body->write(chunk) != chunk.size() || body->size() > m_fetchMaxBytes)
            stop();
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, store);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (withinBounds && !reply->isFinished()) {
        deadline.start(m_fetchTimeoutMs);
        loop.exec();
    }

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!withinBounds || reply->error() != QNetworkReply::NoError || status < 200 || status > 299)
        return nullptr;
    store();
    if (!withinBounds || !body->seek(0))
        return nullptr;
    return body;
}

QImage ImageSource::decode(QIODevice *data, const char *format, QSemaphoreReleaser *claim) const
{
    QImageReader reader(data, format);
    // The header tells the size: an image too large to hold is refused before it is decoded, and
    // one that fits waits until the images other jobs decode leave room for it.
    const auto bytes = [this](const QSize &size, QImage::Format imageFormat) {
        const int depth
            = imageFormat == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(imageFormat).bitsPerPixel();
        if (!size.isValid() || size.width() > m_maxSide || size.height() > m_maxSide)
            return m_maxBytes + 1;
        return qint64(size.width()) * size.height() * qMax(depth, 32) / 8;
    };
    const qint64 needed = bytes(reader.size(), reader.imageFormat());
    if (needed > m_maxBytes)
        return QImage();
    *claim = claimMemory(needed);
    const QImage image = reader.read();
    if (bytes(image.size(), image.format()) > m_maxBytes)
        return QImage();
    return image;
}

QSemaphoreReleaser ImageSource::claimMemory(qint64 bytes)
{
    static QSemaphore freeKiB(int(memoryBytes / 1024));
    const int kib = int(qMin(memoryBytes, bytes) / 1024) + 1;
    freeKiB.acquire(kib);
    return QSemaphoreReleaser(freeKiB, kib);
}

void ImageSource::handBackMemory()
{
#ifdef __GLIBC__
    // Each thread has a malloc arena of its own, which keeps what it freed: twenty connection
    // threads would each keep the largest image they decoded.
    malloc_trim(0);
#endif
}
