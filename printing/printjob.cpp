#include "printjob.h"

#include "barcode.h"
#include "escimagemanager.h"
#include "escinterpreter.h"
#include "esctools.h"
#include "fiscalqrprofile.h"
#include "jobvalues.h"
#include "qrsymbol.h"

#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace JobValues;

namespace {

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

QByteArray qrFunction(char fn, const QByteArray &parameters)
{
    const int length = parameters.size() + 2;
    return QByteArray("\x1D\x28\x6B", 3) + char(length & 0xFF) + char(length >> 8) + char(0x31) + fn
        + parameters;
}

} // namespace

PrintJob::PrintJob(QJsonArray commands, bool compatibilityMode)
    : m_commands(std::move(commands))
    , m_compatibilityMode(compatibilityMode)
{
}

PrintJob::~PrintJob()
{
    m_blocks.clear();
    if (m_size >= ImageSource::largeBytes)
        ImageSource::handBackMemory();
}

bool PrintJob::translate()
{
    if (m_translated)
        return m_error.isEmpty();
    m_translated = true;
    if (!m_compatibilityMode)
        reset();
    for (int i = 0; i < m_commands.size(); ++i) {
        const QJsonValue element = m_commands.at(i);
        if (!element.isObject())
            continue;
        const QJsonObject command = element.toObject();
        QString problem = runCommand(command);
        if (problem.isEmpty() && m_size > maxJobBytes)
            problem = QStringLiteral("the job would send more than %1 bytes").arg(maxJobBytes);
        if (!problem.isEmpty()) {
            m_error = commandError(
                i, command.value(QLatin1String("op")).toString().toUtf8().constData(), problem);
            m_blocks.clear();
            return false;
        }
    }
    return true;
}

QByteArray PrintJob::bytes() const
{
    return m_blocks.join();
}

int PrintJob::dotWidth() const
{
    return m_dotWidth > 0 ? m_dotWidth : 576;
}

QString PrintJob::runCommand(const QJsonObject &command)
{
    const QString op = command.value(QLatin1String("op")).toString();
    const QJsonValue data = command.value(QLatin1String("data"));
    if (op == QLatin1String("settings")) {
        if (data.isObject())
            return applySettings(data.toObject());
    } else if (op == QLatin1String("double") || op == QLatin1String("condensed")
        || op == QLatin1String("style")) {
        setStyle(op, data);
    } else if (op == QLatin1String("alignment")) {
        setAlignment(wholeNumber(data, 0));
    } else if (op == QLatin1String("cut")) {
        if (data.isString())
            addCut(data.toString());
    } else if (op == QLatin1String("pulse")) {
        if (data.isObject())
            addPulse(data.toObject());
    } else if (op == QLatin1String("text")) {
        if (data.isString())
            addText(data.toString());
    } else if (op == QLatin1String("image")) {
        if (data.isString())
            addImage(data.toString());
    } else if (op == QLatin1String("qrcode") || op == QLatin1String("barcode")) {
        if (!data.isObject())
            return QStringLiteral("\"data\" must be an object, not %1").arg(json(data));
        return op == QLatin1String("qrcode") ? addQrCode(data.toObject()) : addBarcode(data.toObject());
    }
    return QString();
}

void PrintJob::send(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        m_blocks.append(bytes);
    m_size += bytes.size();
}

void PrintJob::reset()
{
    send(QByteArray("\x1B\x40", 2));
    m_doubleWidth = m_doubleHeight = m_condensed = m_emphasized = m_underlined = false;
    m_alignment = -1;
}

QString PrintJob::applySettings(const QJsonObject &settings)
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
    // Wider paper than the preview can draw was once drawn 576 wide without a word.
    if (m_dotWidth > ESCInterpreter::maxDotWidth)
        return QStringLiteral("\"dotWidth\" must be at most %1, not %2")
            .arg(ESCInterpreter::maxDotWidth)
            .arg(m_dotWidth);
    return QString();
}

void PrintJob::setStyle(const QString &op, const QJsonValue &data)
{
    const int before = printMode();
    const QJsonObject flags = data.toObject();
    if (op == QLatin1String("condensed")) {
        m_condensed = boolean(data, false);
    } else if (data.isObject() && op == QLatin1String("double")) {
        m_doubleHeight = boolean(flags.value(QLatin1String("height")), false);
        m_doubleWidth = boolean(flags.value(QLatin1String("width")), false);
    } else if (data.isObject()) {
        m_emphasized = boolean(flags.value(QLatin1String("emphasized")), false);
        m_underlined = boolean(flags.value(QLatin1String("underlined")), false);
    }
    if (printMode() != before)
        sendStyle();
}

int PrintJob::printMode() const
{
    return (m_condensed ? 0x01 : 0) | (m_emphasized ? 0x08 : 0) | (m_doubleHeight ? 0x10 : 0)
        | (m_doubleWidth ? 0x20 : 0) | (m_underlined ? 0x80 : 0);
}

void PrintJob::sendStyle()
{
    send(QByteArray("\x1B\x21", 2) + char(printMode()));
}

void PrintJob::setAlignment(int alignment)
{
    const int value = (alignment == 1 || alignment == 2) ? alignment : 0;
    if (value == m_alignment)
        return;
    m_alignment = value;
    send(QByteArray("\x1B\x61", 2) + char(value));
}

void PrintJob::addCut(const QString &mode)
{
    if (!m_hasCutter)
        return;
    if (mode == QLatin1String("no_feed"))
        send(QByteArray("\x1D\x56\x31", 3));
    else
        send(QByteArray("\x1D\x56\x42\x0A", 4));
}

void PrintJob::addPulse(const QJsonObject &data)
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

void PrintJob::addText(const QString &text)
{
    int lineWidth = m_condensed ? m_condensedLineWidth : m_normalLineWidth;
    if (m_doubleWidth)
        lineWidth /= 2;
    const QString wrapped = ESCTools::wrapText(text, lineWidth, m_replaceAccentedChars);
    send(ESCTools::characterSetParser(wrapped, m_alternativeCharset));
}

void PrintJob::addImage(const QString &source)
{
    QSemaphoreReleaser claim;
    QImage image = m_images.image(source, &claim);
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
        send(manager.bytes());
    }
    claim = QSemaphoreReleaser();
    if (decoded >= ImageSource::largeBytes)
        ImageSource::handBackMemory();
    if (!m_compatibilityMode)
        reset();
}

void PrintJob::resetKeepingStyle()
{
    send(QByteArray("\x1B\x40", 2));
    // The printer forgot the alignment and the print mode; this job still keeps them.
    const int alignment = m_alignment;
    m_alignment = -1;
    if (alignment > 0)
        setAlignment(alignment);
    if (printMode() != 0)
        sendStyle();
}

QString PrintJob::addQrCode(const QJsonObject &data)
{
    QString problem;
    const QJsonValue text = data.value(QLatin1String("text"));
    if (!text.isString() || text.toString().isEmpty())
        return QStringLiteral("\"text\" must be a text that is not empty, not %1").arg(json(text));
    int module = 6;
    int level = QrSymbol::M;
    int mode = 0;
    if (!wholeMember(data, "size", 1, 16, &module, &problem)
        || !choiceMember(data, "ecc",
            { QStringLiteral("L"), QStringLiteral("M"), QStringLiteral("Q"), QStringLiteral("H") }, &level,
            &problem)
        || !choiceMember(
            data, "mode", { QStringLiteral("native"), QStringLiteral("image") }, &mode, &problem))
        return problem;
    const QJsonValue widthMm = data.value(QLatin1String("widthMm"));
    if (given(widthMm) && (!widthMm.isDouble() || !(widthMm.toDouble() > 0)))
        return QStringLiteral("\"widthMm\" must be a number above 0, or null, not %1").arg(json(widthMm));
    const QJsonValue profileName = data.value(QLatin1String("profile"));
    const std::optional<FiscalQrProfile> profile = FiscalQrProfile::fromName(profileName.toString());
    if (given(profileName)) {
        problem = profileProblem(profile, data);
        if (!problem.isEmpty())
            return problem;
    }

    const QByteArray utf8 = text.toString().toUtf8();
    QrSymbol symbol = QrSymbol::encode(utf8, QrSymbol::Level(level));
    if (symbol.isNull())
        return QStringLiteral("\"text\" (%1 bytes) is longer than a QR code holds at error level \"%2\"")
            .arg(utf8.size())
            .arg(QLatin1Char("LMQH"[level]));
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
            return QStringLiteral(
                "\"text\" makes a code of %1 modules, which \"%2\" cannot print at its size")
                .arg(symbol.size())
                .arg(profile->name());
    } else if (given(widthMm)) {
        const double dots = std::min(widthMm.toDouble() * 8, double(dotWidth()));
        module = int(std::min(16.0, std::floor(dots / symbol.size())));
        if (module < 1)
            return QStringLiteral("\"widthMm\" %1 is narrower than this code's %2 modules at one dot each")
                .arg(json(widthMm))
                .arg(symbol.size());
    }
    const bool native = mode == 0;
    const int modulesAcross = native ? symbol.size() : symbol.size() + 2 * QrSymbol::quietZone;
    if (modulesAcross * module > dotWidth())
        return QStringLiteral("\"size\" %1 makes this code %2 dots wide; the paper has %3")
            .arg(module)
            .arg(modulesAcross * module)
            .arg(dotWidth());

    if (profile && !profile->captionAbove().isEmpty())
        addText(profile->captionAbove() + QLatin1Char('\n'));
    sendQrCode(symbol, utf8, level, module, native);
    const QString below = profile ? profile->captionBelow(text.toString()) : QString();
    if (!below.isEmpty())
        addText(below + QLatin1Char('\n'));
    return QString();
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
        = ImageSource::claimMemory(qint64(modulesAcross) * moduleWidth * modulesAcross * moduleHeight * 8);
    const QImage image = symbol.image(moduleWidth, moduleHeight);
    ESCImageManager manager;
    manager.setImage(
        image, image.width(), image.height(), !m_lowDensity, m_imagePrintMode, m_compatibilityMode);
    send(manager.blackAndWhiteBytes());
    if (!m_compatibilityMode)
        resetKeepingStyle();
}

QString PrintJob::addBarcode(const QJsonObject &data)
{
    QString problem;
    static const QStringList types = { QStringLiteral("code128"), QStringLiteral("ean13"),
        QStringLiteral("ean8"), QStringLiteral("upca"), QStringLiteral("code39"), QStringLiteral("itf") };
    static const Barcode::Type symbologies[]
        = { Barcode::Code128, Barcode::Ean13, Barcode::Ean8, Barcode::UpcA, Barcode::Code39, Barcode::Itf };
    const QJsonValue typeValue = data.value(QLatin1String("type"));
    const int type = types.indexOf(typeValue.toString());
    if (type < 0)
        return QStringLiteral("\"type\" must be one of \"%1\", not %2")
            .arg(types.join(QStringLiteral("\", \"")), json(typeValue));
    const QJsonValue text = data.value(QLatin1String("text"));
    if (!text.isString() || text.toString().isEmpty())
        return QStringLiteral("\"text\" must be a text that is not empty, not %1").arg(json(text));
    int height = 80;
    int width = 3;
    int hri = 0;
    if (!wholeMember(data, "height", 1, 255, &height, &problem)
        || !wholeMember(data, "width", 2, 6, &width, &problem)
        || !choiceMember(data, "hri",
            { QStringLiteral("below"), QStringLiteral("above"), QStringLiteral("both"),
                QStringLiteral("none") },
            &hri, &problem))
        return problem;
    const QByteArray printerData = Barcode::printerData(symbologies[type], text.toString(), &problem);
    if (printerData.isEmpty())
        return QStringLiteral("\"text\" %1 %2").arg(json(text), problem);
    const int dots = Barcode::fromPrinterData(symbologies[type], printerData).bars().size() * width;
    // No bars: a text the symbology takes but cannot draw (code39 beyond 85 characters, itf
    // beyond 125 digits), which a printer would leave out.
    if (dots == 0)
        return QStringLiteral("\"text\" %1 is too long to draw as %2").arg(json(text), typeValue.toString());
    if (dots > dotWidth())
        return QStringLiteral("%1 makes this barcode %2 dots wide; the paper has %3")
            .arg(json(text))
            .arg(dots)
            .arg(dotWidth());
    // GS H: 0 none, 1 above, 2 below, 3 both.
    static const char hriPositions[] = { 2, 1, 3, 0 };
    const char setup[] = { 0x1D, 0x68, char(height), 0x1D, 0x77, char(width), 0x1D, 0x48, hriPositions[hri],
        0x1D, 0x6B, char(symbologies[type]), char(printerData.size()) };
    send(QByteArray(setup, sizeof setup) + printerData);
    return QString();
}
