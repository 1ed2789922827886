#include "printjob.h"

#include "barcode.h"
#include "escimagemanager.h"
#include "esctools.h"
#include "fiscalqrprofile.h"
#include "nativeescfakesocket.h"
#include "qrsymbol.h"

#include <QBuffer>
#include <QDebug>
#include <QEventLoop>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <malloc.h>
#include <memory>
#include <optional>

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

bool given(const QJsonValue &value)
{
    return !value.isUndefined() && !value.isNull();
}

// A value as JSON text, shortened when long, for error messages.
QString json(const QJsonValue &value)
{
    if (value.isUndefined())
        return QStringLiteral("nothing");
    QString text = QString::fromUtf8(QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact));
    text = text.mid(1, text.size() - 2);
    return text.size() > 40 ? text.left(37) + QStringLiteral("...") : text;
}

// What a fiscal "profile" refuses: an unknown profile, the members it sets itself, a width outside
// its bounds, and a text it does not accept. Empty when the QR code can be printed.
QString profileProblem(const std::optional<FiscalQrProfile> &profile, const QJsonObject &data)
{
    const QJsonValue name = data.value(QLatin1String("profile"));
    if (!profile)
        return QStringLiteral("\"profile\" must be \"pt-atcud\" or \"es-verifactu\", not %1").arg(json(name));
    if (given(data.value(QLatin1String("size"))))
        return QStringLiteral("\"size\" cannot be given with \"profile\" %1, which sets the size")
            .arg(json(name));
    const QJsonValue ecc = data.value(QLatin1String("ecc"));
    if (given(ecc) && ecc != QJsonValue(QStringLiteral("M")))
        return QStringLiteral("\"ecc\" must be \"M\" with \"profile\" %1, not %2").arg(json(name), json(ecc));
    const QJsonValue widthMm = data.value(QLatin1String("widthMm"));
    const double width = widthMm.toDouble();
    if (given(widthMm)
        && (width < profile->minimumMm() || (profile->maximumMm() > 0 && width > profile->maximumMm())))
        return QStringLiteral("\"widthMm\" must be %1 with \"profile\" %2, not %3")
            .arg(profile->maximumMm() > 0
                    ? QStringLiteral("from %1 to %2").arg(profile->minimumMm()).arg(profile->maximumMm())
                    : QStringLiteral("at least %1").arg(profile->minimumMm()),
                json(name), json(widthMm));
    return profile->check(data.value(QLatin1String("text")).toString());
}

QString commandError(int position, const char *op, const QString &problem)
{
    return QStringLiteral("job[%1] \"%2\": %3").arg(position).arg(QLatin1String(op), problem);
}

// The value of a member that must be a whole number within [low, high] when given.
bool wholeMember(const QJsonObject &data, const char *name, int low, int high, int *value, QString *problem)
{
    const QJsonValue member = data.value(QLatin1String(name));
    if (!given(member))
        return true;
    const int number = wholeNumber(member, low - 1);
    if (number < low || number > high) {
        *problem = QStringLiteral("\"%1\" must be a whole number from %2 to %3, not %4")
                       .arg(QLatin1String(name))
                       .arg(low)
                       .arg(high)
                       .arg(json(member));
        return false;
    }
    *value = number;
    return true;
}

// The index of a member's text among the choices, or the default's when it is not given.
bool choiceMember(
    const QJsonObject &data, const char *name, const QStringList &choices, int *index, QString *problem)
{
    const QJsonValue member = data.value(QLatin1String(name));
    if (!given(member))
        return true;
    const int found = member.isString() ? choices.indexOf(member.toString()) : -1;
    if (found < 0) {
        *problem = QStringLiteral("\"%1\" must be one of \"%2\", not %3")
                       .arg(QLatin1String(name), choices.join(QStringLiteral("\", \"")), json(member));
        return false;
    }
    *index = found;
    return true;
}

QByteArray qrFunction(char fn, const QByteArray &parameters)
{
    const int length = parameters.size() + 2;
    return QByteArray("\x1D\x28\x6B", 3) + char(length & 0xFF) + char(length >> 8) + char(0x31) + fn
        + parameters;
}

} // namespace

PrintJob::PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode, QObject *parent)
    : PrintJob(commands, printerName, compatibilityMode, new NativeESCFakeSocket, parent)
{
}

PrintJob::PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode,
    NativeESCFakeSocket *device, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_commands(commands)
    , m_printerName(printerName)
    , m_compatibilityMode(compatibilityMode)
    , m_imageMaxSide(ESCImageManager::maxSide)
    , m_imageMaxBytes(defaultImageMaxBytes)
{
    m_device->setParent(this);
}

PrintJob::~PrintJob()
{
    m_blocks.clear();
    if (m_size >= largeBytes)
        handBackMemory();
}

void PrintJob::handBackMemory()
{
#ifdef __GLIBC__
    // Each thread has a malloc arena of its own, which keeps what it freed: twenty connection
    // threads would each keep the largest image they decoded.
    malloc_trim(0);
#endif
}

int PrintJob::fetchTimeoutMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VARNEL_IMAGE_FETCH_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : defaultFetchTimeoutMs;
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
    const auto deviceFailed = [this] {
        m_error = m_device->failure();
        return false;
    };
    if (!m_device->connectToDevice(m_printerName))
        return deviceFailed();
    if (!translate())
        return false;
    if (!m_device->startJobRequested())
        return deviceFailed();
    for (const QByteArray &block : qAsConst(m_blocks)) {
        if (m_device->write(block) != block.size())
            m_writeRefused = true;
    }
    if (!m_device->endJobRequested() || m_writeRefused)
        return deviceFailed();
    return true;
}

int PrintJob::jobId() const
{
    return m_device->jobId();
}

bool PrintJob::translate()
{
    if (m_translated)
        return m_error.isEmpty();
    m_translated = true;
    if (!m_compatibilityMode)
        setDefaultPrinterSettings();
    for (int i = 0; i < m_commands.size(); ++i) {
        const QJsonValue element = m_commands.at(i);
        if (!element.isObject())
            continue;
        const QJsonObject command = element.toObject();
        bool translated = runCommand(i, command);
        if (translated && m_size > maxJobBytes) {
            m_error = commandError(i, command.value(QLatin1String("op")).toString().toUtf8().constData(),
                QStringLiteral("the job would send more than %1 bytes").arg(maxJobBytes));
            translated = false;
        }
        if (!translated) {
            m_blocks.clear();
            return false;
        }
    }
    return true;
}

QByteArray PrintJob::bytes() const
{
    QByteArray all;
    for (const QByteArray &block : m_blocks)
        all += block;
    return all;
}

int PrintJob::dotWidth() const
{
    return m_dotWidth > 0 ? m_dotWidth : 576;
}

bool PrintJob::runCommand(int position, const QJsonObject &command)
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
    } else if (op == QLatin1String("qrcode")) {
        return setQrCode(position, data);
    } else if (op == QLatin1String("barcode")) {
        return setBarcode(position, data);
    }
    return true;
}

void PrintJob::send(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        m_blocks.append(bytes);
    m_size += bytes.size();
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
    std::unique_ptr<QIODevice> data;
    const char *format = nullptr;
    const bool url = source.startsWith(QLatin1String("http"));
    if (url) {
        qDebug() << "will fetch" << source;
        data = fetchImage(source);
    } else {
        const int comma = source.indexOf(QLatin1Char(','));
        const QString payload = comma < 0 ? source : source.mid(comma + 1);
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(QByteArray::fromBase64(payload.toUtf8()));
        buffer->open(QIODevice::ReadOnly);
        data = std::move(buffer);
        format = "PNG";
    }
    QSemaphoreReleaser claim;
    QImage image = data ? decodeImage(data.get(), format, &claim) : QImage();
    data.reset();
    if (url)
        qDebug() << "loaded as PNG";
    qDebug() << image.width() << image.height();

    int width = image.width();
    int height = image.height();
    if (m_lowDensity) {
        width = int(float(width) * 0.5f);
        height = int(float(height) * (1.0f / 3.0f));
    }
    const qint64 decoded = image.sizeInBytes();
    {
        ESCImageManager manager;
        manager.setImage(image, width, height, !m_lowDensity, m_imagePrintMode, m_compatibilityMode);
        image = QImage();
        send(manager.getBytesToSend());
    }
    claim = QSemaphoreReleaser();
    if (decoded >= largeBytes)
        handBackMemory();
    if (!m_compatibilityMode)
        setDefaultPrinterSettings();
}

void PrintJob::resetKeepingStyle()
{
    const int alignment = m_alignment;
    const bool flags[] = { m_doubleWidth, m_doubleHeight, m_condensed, m_emphasized, m_underlined };
    setDefaultPrinterSettings();
    if (alignment > 0)
        setAlignment(alignment);
    if (std::find(std::begin(flags), std::end(flags), true) != std::end(flags)) {
        m_doubleWidth = flags[0];
        m_doubleHeight = flags[1];
        m_condensed = flags[2];
        m_emphasized = flags[3];
        m_underlined = flags[4];
        applyStyle();
    }
}

bool PrintJob::setQrCode(int position, const QJsonValue &value)
{
    QString problem;
    const auto fail = [&](const QString &why) {
        m_error = commandError(position, "qrcode", why);
        return false;
    };
    if (!value.isObject())
        return fail(QStringLiteral("\"data\" must be an object, not %1").arg(json(value)));
    const QJsonObject data = value.toObject();
    const QJsonValue text = data.value(QLatin1String("text"));
    if (!text.isString() || text.toString().isEmpty())
        return fail(QStringLiteral("\"text\" must be a text that is not empty, not %1").arg(json(text)));
    int module = 6;
    int level = QrSymbol::M;
    int mode = 0;
    if (!wholeMember(data, "size", 1, 16, &module, &problem)
        || !choiceMember(data, "ecc",
            { QStringLiteral("L"), QStringLiteral("M"), QStringLiteral("Q"), QStringLiteral("H") }, &level,
            &problem)
        || !choiceMember(
            data, "mode", { QStringLiteral("native"), QStringLiteral("image") }, &mode, &problem))
        return fail(problem);
    const QJsonValue widthMm = data.value(QLatin1String("widthMm"));
    if (given(widthMm) && (!widthMm.isDouble() || !(widthMm.toDouble() > 0)))
        return fail(
            QStringLiteral("\"widthMm\" must be a number above 0, or null, not %1").arg(json(widthMm)));
    const QJsonValue profileName = data.value(QLatin1String("profile"));
    const std::optional<FiscalQrProfile> profile = FiscalQrProfile::fromName(profileName.toString());
    if (given(profileName)) {
        problem = profileProblem(profile, data);
        if (!problem.isEmpty())
            return fail(problem);
    }

    const QByteArray utf8 = text.toString().toUtf8();
    QrSymbol symbol = QrSymbol::encode(utf8, QrSymbol::Level(level));
    if (symbol.isNull())
        return fail(QStringLiteral("\"text\" (%1 bytes) is longer than a QR code holds at error level \"%2\"")
                        .arg(utf8.size())
                        .arg(QLatin1Char("LMQH"[level])));
    // 203 dpi: 8 dots to the millimetre.
    if (profile) {
        // A printer's engine picks the smallest version it can, and one that packs the text
        // differently from libqrencode may pick the version below or above: the printer draws the
        // code only when both keep to the profile's version and size; otherwise Varnel does.
        const double lowest = (given(widthMm) ? widthMm.toDouble() : profile->minimumMm()) * 8;
        const double highest = profile->maximumMm() > 0 ? profile->maximumMm() * 8 : dotWidth();
        if (mode == 0) {
            module = int(std::ceil(lowest / (symbol.size() - 4) - 1e-9));
            if (symbol.version() <= profile->minimumVersion() || (symbol.size() + 4) * module > highest)
                mode = 1;
        }
        if (mode == 1) {
            symbol = QrSymbol::encode(utf8, QrSymbol::Level(level), profile->minimumVersion());
            module = int(std::ceil(lowest / symbol.size() - 1e-9));
            if (symbol.size() * module > highest)
                module = int(std::floor(highest / symbol.size()));
        }
        if (module < 1 || module > 16 || symbol.size() * module < profile->minimumMm() * 8)
            return fail(
                QStringLiteral("\"text\" makes a code of %1 modules, which \"%2\" cannot print at its size")
                    .arg(symbol.size())
                    .arg(profile->name()));
    } else if (given(widthMm)) {
        const double dots = std::min(widthMm.toDouble() * 8, double(dotWidth()));
        module = int(std::min(16.0, std::floor(dots / symbol.size())));
        if (module < 1)
            return fail(
                QStringLiteral("\"widthMm\" %1 is narrower than this code's %2 modules at one dot each")
                    .arg(json(widthMm))
                    .arg(symbol.size()));
    }
    const bool native = mode == 0;
    const int modulesAcross = native ? symbol.size() : symbol.size() + 2 * QrSymbol::quietZone;
    if (modulesAcross * module > dotWidth())
        return fail(QStringLiteral("\"size\" %1 makes this code %2 dots wide; the paper has %3")
                        .arg(module)
                        .arg(modulesAcross * module)
                        .arg(dotWidth()));

    if (profile && !profile->captionAbove().isEmpty())
        setText(profile->captionAbove() + QLatin1Char('\n'));
    sendQrCode(symbol, utf8, level, module, native);
    const QString below = profile ? profile->captionBelow(text.toString()) : QString();
    if (!below.isEmpty())
        setText(below + QLatin1Char('\n'));
    return true;
}

void PrintJob::sendQrCode(const QrSymbol &symbol, const QByteArray &utf8, int level, int module, bool native)
{
    const int modulesAcross = native ? symbol.size() : symbol.size() + 2 * QrSymbol::quietZone;
    if (native) {
        // The quiet zone above and below; ESC J also prints a line still waiting for its feed.
        const QByteArray quiet = QByteArray("\x1B\x4A", 2) + char(QrSymbol::quietZone * module);
        const int stored = utf8.size() + 3;
        send(quiet + qrFunction(0x41, QByteArray("\x32\x00", 2))
            + qrFunction(0x43, QByteArray(1, char(module)))
            + qrFunction(0x45, QByteArray(1, char(0x30 + level))) + QByteArray("\x1D\x28\x6B", 3)
            + char(stored & 0xFF) + char(stored >> 8) + "\x31\x50\x30" + utf8
            + qrFunction(0x51, QByteArray("\x30", 1)) + quiet);
        return;
    }
    // Single density prints a dot twice as wide and, in 8-dot bands, three times as tall.
    const int moduleWidth = m_lowDensity ? std::max(1, (module + 1) / 2) : module;
    const int moduleHeight = m_lowDensity ? std::max(1, (module + 1) / 3) : module;
    // The drawn code and its pixels as bytes, as for any image.
    const QSemaphoreReleaser claim
        = claimImageMemory(qint64(modulesAcross) * moduleWidth * modulesAcross * moduleHeight * 8);
    const QImage image = symbol.image(moduleWidth, moduleHeight);
    ESCImageManager manager;
    manager.setImage(
        image, image.width(), image.height(), !m_lowDensity, m_imagePrintMode, m_compatibilityMode);
    send(manager.getBlackAndWhiteBytes());
    if (!m_compatibilityMode)
        resetKeepingStyle();
}

bool PrintJob::setBarcode(int position, const QJsonValue &value)
{
    QString problem;
    const auto fail = [&](const QString &why) {
        m_error = commandError(position, "barcode", why);
        return false;
    };
    if (!value.isObject())
        return fail(QStringLiteral("\"data\" must be an object, not %1").arg(json(value)));
    const QJsonObject data = value.toObject();
    static const QStringList types = { QStringLiteral("code128"), QStringLiteral("ean13"),
        QStringLiteral("ean8"), QStringLiteral("upca"), QStringLiteral("code39"), QStringLiteral("itf") };
    static const Barcode::Type symbologies[]
        = { Barcode::Code128, Barcode::Ean13, Barcode::Ean8, Barcode::UpcA, Barcode::Code39, Barcode::Itf };
    const QJsonValue typeValue = data.value(QLatin1String("type"));
    const int type = types.indexOf(typeValue.toString());
    if (type < 0)
        return fail(QStringLiteral("\"type\" must be one of \"%1\", not %2")
                        .arg(types.join(QStringLiteral("\", \"")), json(typeValue)));
    const QJsonValue text = data.value(QLatin1String("text"));
    if (!text.isString() || text.toString().isEmpty())
        return fail(QStringLiteral("\"text\" must be a text that is not empty, not %1").arg(json(text)));
    int height = 80;
    int width = 3;
    int hri = 0;
    if (!wholeMember(data, "height", 1, 255, &height, &problem)
        || !wholeMember(data, "width", 2, 6, &width, &problem)
        || !choiceMember(data, "hri",
            { QStringLiteral("below"), QStringLiteral("above"), QStringLiteral("both"),
                QStringLiteral("none") },
            &hri, &problem))
        return fail(problem);
    const QByteArray printerData = Barcode::printerData(symbologies[type], text.toString(), &problem);
    if (printerData.isEmpty())
        return fail(QStringLiteral("\"text\" %1 %2").arg(json(text), problem));
    const int dots = Barcode::fromPrinterData(symbologies[type], printerData).bars().size() * width;
    if (dots > dotWidth())
        return fail(QStringLiteral("%1 makes this barcode %2 dots wide; the paper has %3")
                        .arg(json(text))
                        .arg(dots)
                        .arg(dotWidth()));
    // GS H: 0 none, 1 above, 2 below, 3 both.
    static const char hriPositions[] = { 2, 1, 3, 0 };
    const char setup[] = { 0x1D, 0x68, char(height), 0x1D, 0x77, char(width), 0x1D, 0x48, hriPositions[hri],
        0x1D, 0x6B, char(symbologies[type]), char(printerData.size()) };
    send(QByteArray(setup, sizeof setup) + printerData);
    return true;
}

std::unique_ptr<QIODevice> PrintJob::fetchImage(const QString &url)
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
    connect(&deadline, &QTimer::timeout, &loop, stop);
    // A declared length over the bound ends the download as soon as the headers arrive.
    connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
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
    connect(reply.get(), &QNetworkReply::readyRead, &loop, store);
    connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (withinBounds && !reply->isFinished()) {
        deadline.start(m_fetchTimeoutMs);
        loop.exec();
    }
    qDebug() << "fetched, I guess?";

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!withinBounds || reply->error() != QNetworkReply::NoError || status < 200 || status > 299)
        return nullptr;
    store();
    if (!withinBounds || !body->seek(0))
        return nullptr;
    return body;
}

QImage PrintJob::decodeImage(QIODevice *data, const char *format, QSemaphoreReleaser *claim)
{
    QImageReader reader(data, format);
    // The header tells the size: an image too large to hold is refused before it is decoded, and
    // one that fits waits until the images other jobs decode leave room for it.
    const auto bytes = [this](const QSize &size, QImage::Format imageFormat) {
        const int depth
            = imageFormat == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(imageFormat).bitsPerPixel();
        if (!size.isValid() || size.width() > m_imageMaxSide || size.height() > m_imageMaxSide)
            return m_imageMaxBytes + 1;
        return qint64(size.width()) * size.height() * qMax(depth, 32) / 8;
    };
    const qint64 needed = bytes(reader.size(), reader.imageFormat());
    if (needed > m_imageMaxBytes)
        return QImage();
    *claim = claimImageMemory(needed);
    const QImage image = reader.read();
    if (bytes(image.size(), image.format()) > m_imageMaxBytes)
        return QImage();
    return image;
}

QSemaphoreReleaser PrintJob::claimImageMemory(qint64 bytes)
{
    static QSemaphore freeKiB(int(imageMemoryBytes / 1024));
    const int kib = int(qMin(imageMemoryBytes, bytes) / 1024) + 1;
    freeKiB.acquire(kib);
    return QSemaphoreReleaser(freeKiB, kib);
}
