#include "printer.h"

#include "escinterpreter.h"
#include "printjob.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QSaveFile>

Printer::Printer(QPrinterInfo info, QObject *parent)
    : Printer(info, QString(), parent)
{
}

Printer::Printer(QPrinterInfo info, const QString &outputDir, QObject *parent)
    : QObject(parent)
    , m_info(info)
    , m_outputDir(outputDir)
{
    m_available = m_settings.value(settingsKey(), false).toBool();
    connect(this, &Printer::availableChanged, this, &Printer::persistAvailability);
}

Printer *Printer::virtualPrinter(const QString &outputDir)
{
    return new Printer(QPrinterInfo(), outputDir, nullptr);
}

QString Printer::name() const
{
    return m_outputDir.isEmpty() ? m_info.printerName() : QStringLiteral("Varnel Preview");
}

bool Printer::print(const QJsonArray &commands, bool compatibilityMode, QString *error) const
{
    if (m_outputDir.isEmpty()) {
        PrintJob job(commands, name(), compatibilityMode);
        const bool printed = job.execute();
        *error = job.errorString();
        return printed;
    }
    const QImage paper = preview(commands, compatibilityMode, error);
    if (paper.isNull() || !QDir().mkpath(m_outputDir))
        return false;
    // Names sort in the order the jobs came, also within one millisecond.
    static QAtomicInteger<quint32> sequence;
    QSaveFile file(
        QDir(m_outputDir)
            .filePath(QStringLiteral("varnel-%1-%2.png")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                          .arg(sequence.fetchAndAddRelaxed(1), 4, 10, QLatin1Char('0'))));
    return file.open(QIODevice::WriteOnly) && file.write(ESCInterpreter::toPng(paper)) >= 0 && file.commit();
}

QImage Printer::preview(const QJsonArray &commands, bool compatibilityMode, QString *error)
{
    PrintJob job(commands, QString(), compatibilityMode);
    if (!job.translate()) {
        *error = job.errorString();
        return QImage();
    }
    ESCInterpreter interpreter(job.dotWidth());
    interpreter.feed(job.bytes());
    return interpreter.paper();
}

bool Printer::state() const
{
    if (!m_outputDir.isEmpty())
        return true;
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
