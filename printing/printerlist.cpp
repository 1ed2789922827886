#include "printerlist.h"

#include "printer.h"

void PrinterList::merge(const QList<QPrinterInfo> &queues)
{
    QStringList reported;
    for (const QPrinterInfo &queue : queues)
        reported << queue.printerName();

    QMutexLocker locker(&m_mutex);
    QList<QSharedPointer<Printer>> merged;
    QStringList known;
    for (const QSharedPointer<Printer> &printer : qAsConst(m_printers)) {
        if (printer != m_virtual && reported.contains(printer->name())) {
            merged << printer;
            known << printer->name();
        }
    }
    for (const QPrinterInfo &queue : queues) {
        if (!known.contains(queue.printerName()))
            merged << QSharedPointer<Printer>(new Printer(queue), &QObject::deleteLater);
    }
    const QString outputDir = qEnvironmentVariable("VARNEL_VIRTUAL_PRINTER");
    if (!m_virtual && !outputDir.isEmpty())
        m_virtual = QSharedPointer<Printer>(Printer::virtualPrinter(outputDir), &QObject::deleteLater);
    if (m_virtual)
        merged << m_virtual;
    // Dropped printers go when their last holder lets them go.
    m_printers = merged;
}

QList<QSharedPointer<Printer>> PrinterList::snapshot() const
{
    QMutexLocker locker(&m_mutex);
    return m_printers;
}

int PrinterList::size() const
{
    QMutexLocker locker(&m_mutex);
    return m_printers.size();
}

Printer *PrinterList::at(int index) const
{
    QMutexLocker locker(&m_mutex);
    return m_printers.value(index).data();
}
