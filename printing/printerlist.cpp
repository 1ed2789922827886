#include "printerlist.h"

#include "printer.h"
#include "virtualprinter.h"

#include <QHash>
#include <QSet>

void PrinterList::merge(const QList<PrinterStatus> &queues)
{
    QHash<QString, PrinterStatus> statuses;
    for (const PrinterStatus &queue : queues)
        statuses.insert(queue.name, queue);
    QMutexLocker locker(&m_mutex);
    QList<QSharedPointer<Printer>> merged;
    QSet<QString> known;
    for (const QSharedPointer<Printer> &printer : qAsConst(m_printers)) {
        if (printer != m_virtual && statuses.contains(printer->name())) {
            merged << printer;
            known << printer->name();
        }
    }
    for (const PrinterStatus &queue : queues) {
        if (!known.contains(queue.name)) {
            merged << QSharedPointer<Printer>(new Printer(queue), &QObject::deleteLater);
            known << queue.name;
        }
    }
    if (virtualPrinterLocked())
        merged << m_virtual;
    // Dropped printers go when their last holder lets them go.
    m_printers = merged;
    const QSharedPointer<Printer> virtualPrinter = m_virtual;
    locker.unlock();
    // Outside the lock: a status change reaches the window, which reads the list again.
    for (const QSharedPointer<Printer> &printer : qAsConst(merged)) {
        if (printer != virtualPrinter)
            printer->setStatus(statuses.value(printer->name()));
    }
}

void PrinterList::markUnreachable()
{
    QMutexLocker locker(&m_mutex);
    // The virtual printer needs no scheduler: it is there even when none ever answered.
    if (virtualPrinterLocked() && !m_printers.contains(m_virtual))
        m_printers << m_virtual;
    const QList<QSharedPointer<Printer>> printers = m_printers;
    const QSharedPointer<Printer> virtualPrinter = m_virtual;
    locker.unlock();
    for (const QSharedPointer<Printer> &printer : printers) {
        if (printer == virtualPrinter)
            continue;
        PrinterStatus status = printer->status();
        status.reachable = false;
        printer->setStatus(status);
    }
}

bool PrinterList::virtualPrinterLocked()
{
    const QString outputDir = qEnvironmentVariable("VARNEL_VIRTUAL_PRINTER");
    if (!m_virtual && !outputDir.isEmpty())
        m_virtual = QSharedPointer<Printer>(new VirtualPrinter(outputDir), &QObject::deleteLater);
    return !m_virtual.isNull();
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
