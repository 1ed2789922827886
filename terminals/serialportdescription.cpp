#include "serialportdescription.h"

#include "terminalslog.h"

#include <QRegularExpression>

namespace {

// Entries "PATH@VID:PID" (four hex digits each), comma-separated; malformed ones are skipped.
QList<SerialPortDescription> parseExtraPorts(const QString &list)
{
    static const QRegularExpression entry(QStringLiteral("^(.+)@([0-9A-Fa-f]{4}):([0-9A-Fa-f]{4})$"));
    QList<SerialPortDescription> ports;
    for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = entry.match(item.trimmed());
        if (!match.hasMatch()) {
            qCDebug(lcTerminals) << "malformed extra serial port ignored:" << item;
            continue;
        }
        const QString path = match.captured(1);
        ports << SerialPortDescription(path, path, QStringLiteral("Virtual serial port"), QString(),
            quint16(match.captured(2).toUInt(nullptr, 16)), quint16(match.captured(3).toUInt(nullptr, 16)));
    }
    return ports;
}

} // namespace

SerialPortDescription::SerialPortDescription(const QSerialPortInfo &info)
    : m_portName(info.portName())
    , m_systemLocation(info.systemLocation())
    , m_description(info.description())
    , m_manufacturer(info.manufacturer())
    , m_vendorIdentifier(info.hasVendorIdentifier() ? info.vendorIdentifier() : 0)
    , m_productIdentifier(info.hasProductIdentifier() ? info.productIdentifier() : 0)
{
}

SerialPortDescription::SerialPortDescription(const QString &portName, const QString &systemLocation,
    const QString &description, const QString &manufacturer, quint16 vendorIdentifier,
    quint16 productIdentifier)
    : m_portName(portName)
    , m_systemLocation(systemLocation)
    , m_description(description)
    , m_manufacturer(manufacturer)
    , m_vendorIdentifier(vendorIdentifier)
    , m_productIdentifier(productIdentifier)
{
}

QList<SerialPortDescription> SerialPortDescription::availablePorts()
{
    QList<SerialPortDescription> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << SerialPortDescription(info);
    return ports + parseExtraPorts(qEnvironmentVariable("VARNEL_EXTRA_SERIAL_PORTS"));
}
