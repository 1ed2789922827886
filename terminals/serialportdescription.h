#pragma once

#include <QList>
#include <QMetaType>
#include <QSerialPortInfo>
#include <QString>

// What the terminal registry needs to know of a serial port. Unlike QSerialPortInfo it can
// describe any port, including the virtual ones of VARNEL_EXTRA_SERIAL_PORTS.
class SerialPortDescription
{
public:
    SerialPortDescription() = default;
    explicit SerialPortDescription(const QSerialPortInfo &info);
    SerialPortDescription(const QString &portName, const QString &systemLocation, const QString &description,
        const QString &manufacturer, quint16 vendorIdentifier, quint16 productIdentifier);

    QString portName() const { return m_portName; }
    QString systemLocation() const { return m_systemLocation; }
    QString description() const { return m_description; }
    QString manufacturer() const { return m_manufacturer; }
    // 0 when the port has no USB identifiers.
    quint16 vendorIdentifier() const { return m_vendorIdentifier; }
    quint16 productIdentifier() const { return m_productIdentifier; }

    // The system's serial ports followed by the extra ones named in VARNEL_EXTRA_SERIAL_PORTS.
    static QList<SerialPortDescription> availablePorts();

private:
    QString m_portName;
    QString m_systemLocation;
    QString m_description;
    QString m_manufacturer;
    quint16 m_vendorIdentifier = 0;
    quint16 m_productIdentifier = 0;
};

Q_DECLARE_METATYPE(SerialPortDescription)
