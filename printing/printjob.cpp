#include "printjob.h"

#include "escimagemanager.h"
#include "esctools.h"
#include "nativeescfakesocket.h"

#include <QBuffer>
#include <QDebug>
#include <QEventLoop>
#include <QImageReader>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// A JSON number that is a whole number within int range, else the fallback.
int wholeNumber(const QJsonValue &value, int fallback)
{
    if (!value.isDouble())
        return fallback;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < std::numeric_limits<int>::min()
        || d > std::numeric_limits<int>::max())
        return fallback;
    return int(d);
}

bool boolean(const QJsonValue &value, bool fallback)
{
    return value.isBool() ? value.toBool() : fallback;
}

} // namespace

PrintJob::PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode, QObject *parent)
    : PrintJob(commands, printerName, compatibilityMode, new NativeESCFakeSocket, parent)
{ }

PrintJob::PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode,
    NativeESCFakeSocket *device, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_commands(commands)
    , m_printerName(printerName)
    , m_compatibilityMode(compatibilityMode)
    , m_imageMaxSide(ESCImageManager::maxSide)
    , m_imageMaxBytes(ESCImageManager::maxBufferBytes)
{
    m_device->setParent(this);
}

void PrintJob::setImageFetchLimits(int timeoutMs, qint64 maxBytes)
{
    m_fetchTimeoutMs = timeoutMs;
    m_fetchMaxBytes = maxBytes;
}

void PrintJob::setImageSizeLimits(int maxSide, qint64 maxBytes)
{
    m_imageMaxSide = maxSide;
    m_imageMaxBytes = maxBytes;
}

bool PrintJob::execute()
{
    if (!m_device->connectToDevice(m_printerName))
        return false;
    if (!m_device->startJobRequested())
        return false;
    if (!m_compatibilityMode)
        setDefaultPrinterSettings();
    for (const QJsonValue &element : qAsConst(m_commands)) {
        if (element.isObject())
            runCommand(element.toObject());
    }
    const bool finished = m_device->endJobRequested();
    return finished && !m_writeRefused;
}

void PrintJob::runCommand(const QJsonObject &command)
{
    const QString op = command.value(QLatin1String("op")).toString();
    const QJsonValue data = command.value(QLatin1String("data"));
    if (op == QLatin1String("settings")) {
        if (data.isObject())
            setSettings(data.toObject());
    } else if (op == QLatin1String("double")) {
        if (data.isObject())
            setTextDouble(data.toObject());
    } else if (op == QLatin1String("condensed")) {
        setCondensed(boolean(data, false));
    } else if (op == QLatin1String("style")) {
        if (data.isObject())
            setStyle(data.toObject());
    } else if (op == QLatin1String("alignment")) {
        setAlignment(wholeNumber(data, 0));
    } else if (op == QLatin1String("cut")) {
        if (data.isString())
            setCut(data.toString());
    } else if (op == QLatin1String("pulse")) {
        if (data.isObject())
            setPulse(data.toObject());
    } else if (op == QLatin1String("text")) {
        if (data.isString())
            setText(data.toString());
    } else if (op == QLatin1String("image")) {
        if (data.isString())
            setImage(data.toString());
    }
}

void PrintJob::send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_device->write(bytes) != bytes.size())
        m_writeRefused = true;
}

void PrintJob::setDefaultPrinterSettings()
{
    send(QByteArray("\x1B\x40", 2));
    m_doubleWidth = m_doubleHeight = m_condensed = m_emphasized = m_underlined = false;
    m_alignment = -1;
}

void PrintJob::setSettings(QJsonObject settings)
{
    m_normalLineWidth = wholeNumber(settings.value(QLatin1String("normalLineWidth")), 48);
    m_condensedLineWidth = wholeNumber(settings.value(QLatin1String("condensedLineWidth")), 64);
    m_dotWidth = wholeNumber(settings.value(QLatin1String("dotWidth")), 576);
    m_hasCutter = boolean(settings.value(QLatin1String("hasCutter")), false);
    m_hasDrawer = boolean(settings.value(QLatin1String("hasDrawer")), false);
    m_lowDensity = boolean(settings.value(QLatin1String("lowDensity")), false);
    m_imagePrintMode = wholeNumber(settings.value(QLatin1String("imagePrintMode")), 0);
    m_alternativeCharset = boolean(settings.value(QLatin1String("alternativeCharset")), false);
    m_replaceAccentedChars = boolean(settings.value(QLatin1String("replaceAccentedChars")), false);
}

void PrintJob::setTextDouble(QJsonObject data)
{
    const bool height = boolean(data.value(QLatin1String("height")), false);
    const bool width = boolean(data.value(QLatin1String("width")), false);
    if (height == m_doubleHeight && width == m_doubleWidth)
        return;
    m_doubleHeight = height;
    m_doubleWidth = width;
    applyStyle();
}

void PrintJob::setCondensed(const bool &condensed)
{
    if (condensed == m_condensed)
        return;
    m_condensed = condensed;
    applyStyle();
}

void PrintJob::setStyle(QJsonObject data)
{
    const bool emphasized = boolean(data.value(QLatin1String("emphasized")), false);
    const bool underlined = boolean(data.value(QLatin1String("underlined")), false);
    if (emphasized == m_emphasized && underlined == m_underlined)
        return;
    m_emphasized = emphasized;
    m_underlined = underlined;
    applyStyle();
}

void PrintJob::applyStyle()
{
    char n = 0;
    if (m_condensed)
        n |= 0x01;
    if (m_emphasized)
        n |= 0x08;
    if (m_doubleHeight)
        n |= 0x10;
    if (m_doubleWidth)
        n |= 0x20;
    if (m_underlined)
        n |= char(0x80);
    send(QByteArray("\x1B\x21", 2) + n);
}

void PrintJob::setAlignment(const int &alignment)
{
    const int value = (alignment == 1 || alignment == 2) ? alignment : 0;
    if (value == m_alignment)
        return;
    m_alignment = value;
    send(QByteArray("\x1B\x61", 2) + char(value));
}

void PrintJob::setCut(const QString &mode)
{
    if (!m_hasCutter)
        return;
    if (mode == QLatin1String("no_feed"))
        send(QByteArray("\x1D\x56\x31", 3));
    else
        send(QByteArray("\x1D\x56\x42\x0A", 4));
}

void PrintJob::setPulse(QJsonObject data)
{
    if (!m_hasDrawer)
        return;
    const int drawer = wholeNumber(data.value(QLatin1String("drawer")), 0);
    const int pulse = wholeNumber(data.value(QLatin1String("pulse")), 50);
    const char m = (drawer == 0 || drawer == 1) ? char(drawer) : 0;
    const char t1 = (pulse >= 50 && pulse <= 250) ? char(pulse) : char(50);
    const char bytes[] = { 0x1B, 0x70, m, t1, char(0xFA) };
    send(QByteArray(bytes, sizeof bytes));
}

void PrintJob::setText(const QString &text)
{
    int lineWidth = m_condensed ? m_condensedLineWidth : m_normalLineWidth;
    if (m_doubleWidth)
        lineWidth /= 2;
    const QString wrapped = ESCTools::wrapText(text, lineWidth, m_replaceAccentedChars);
    send(ESCTools::characterSetParser(wrapped, m_alternativeCharset));
}

void PrintJob::setImage(const QString &source)
{
    QImage image;
    if (source.startsWith(QLatin1String("http"))) {
        qDebug() << "will fetch" << source;
        image = fetchImage(source);
    } else {
        const int comma = source.indexOf(QLatin1Char(','));
        const QString payload = comma < 0 ? source : source.mid(comma + 1);
        image = decodeImage(QByteArray::fromBase64(payload.toUtf8()), "PNG");
    }
    qDebug() << image.width() << image.height();

    int width = image.width();
    int height = image.height();
    if (m_lowDensity) {
        width = int(float(width) * 0.5f);
        height = int(float(height) * (1.0f / 3.0f));
    }
    {
        ESCImageManager manager;
        manager.setImage(image, width, height, !m_lowDensity, m_imagePrintMode, m_compatibilityMode);
        image = QImage();
        send(manager.getBytesToSend());
    }
    if (!m_compatibilityMode)
        setDefaultPrinterSettings();
}

QImage PrintJob::fetchImage(const QString &url)
{
    QNetworkAccessManager manager;
    QNetworkRequest request { QUrl(url) };
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QByteArray body;
    bool withinBounds = true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, [&] {
        withinBounds = false;
        reply->abort();
    });
    // A declared length over the bound ends the download as soon as the headers arrive.
    connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > m_fetchMaxBytes) {
            withinBounds = false;
            reply->abort();
        }
    });
    connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (!withinBounds)
            return;
        body += reply->read(m_fetchMaxBytes + 1 - body.size());
        if (body.size() > m_fetchMaxBytes) {
            withinBounds = false;
            reply->abort();
        }
    });
    connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        deadline.start(m_fetchTimeoutMs);
        loop.exec();
    }
    qDebug() << "fetched, I guess?";

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!withinBounds || reply->error() != QNetworkReply::NoError || status < 200 || status > 299)
        return QImage();
    body += reply->read(m_fetchMaxBytes + 1 - body.size());
    if (body.size() > m_fetchMaxBytes)
        return QImage();
    const QImage image = decodeImage(body, nullptr);
    qDebug() << "loaded as PNG";
    return image;
}

QImage PrintJob::decodeImage(const QByteArray &bytes, const char *format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // The header tells the size; an image too large to hold is refused before it is decoded.
    const auto tooLarge = [this](const QSize &size, QImage::Format imageFormat) {
        const int depth
            = imageFormat == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(imageFormat).bitsPerPixel();
        return size.width() > m_imageMaxSide || size.height() > m_imageMaxSide
            || qint64(size.width()) * size.height() * qMax(depth, 32) / 8 > m_imageMaxBytes;
    };
    if (tooLarge(reader.size(), reader.imageFormat()))
        return QImage();
    const QImage image = reader.read();
    if (tooLarge(image.size(), image.format()))
        return QImage();
    return image;
}
