#include "printer.h"

#include <QCryptographicHash>

Printer::Printer(QPrinterInfo info, QObject *parent)
    : QObject(parent)
    , m_info(info)
{
    m_available = m_settings.value(settingsKey(), false).toBool();
    connect(this, &Printer::availableChanged, this, &Printer::persistAvailability);
}

QString Printer::name() const
{
    return m_info.printerName();
}

bool Printer::state() const
{
    // A QPrinterInfo keeps the queue's state from the moment it was made; ask the system afresh.
    const QPrinterInfo current = QPrinterInfo::printerInfo(name());
    if (current.isNull())
        return false;
    return (int(current.state()) & ~1) != 2;
}

void Printer::setAvailable(const bool &value)
{
    m_available = value;
    emit availableChanged(value);
}

QString Printer::getHash() const
{
    return QString::fromLatin1(
        QCryptographicHash::hash(name().toLatin1(), QCryptographicHash::Sha1).toBase64());
}

QString Printer::settingsKey() const
{
    return QStringLiteral("printers/%1").arg(getHash());
}

void Printer::persistAvailability()
{
    m_settings.setValue(settingsKey(), m_available.load());
    m_settings.sync();
}
