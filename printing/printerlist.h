#pragma once

#include "printerstatus.h"

#include <QList>
#include <QMutex>
#include <QSharedPointer>

class Printer;

// The printers of the system as the program knows them. A refresh keeps every entry whose queue
// is still reported (with the user's choice) and gives it the status read, appends new queues in
// the order reported and drops the queues that are gone. Refreshed on one thread, read from any:
// snapshots keep an entry alive after a refresh dropped it. With VARNEL_VIRTUAL_PRINTER set, the
// virtual printer "Varnel Preview" writing into that folder stays at the end of the list.
class PrinterList
{
public:
    PrinterList() = default;
    PrinterList(const PrinterList &) = delete;
    PrinterList &operator=(const PrinterList &) = delete;

    void merge(const QList<PrinterStatus> &queues);
    // A refresh the scheduler did not answer: every entry stays, as not reachable.
    void markUnreachable();

    QList<QSharedPointer<Printer>> snapshot() const;
    int size() const;
    Printer *at(int index) const;

private:
    // Makes the virtual printer when it is asked for; whether there is one.
    bool virtualPrinterLocked();

    mutable QMutex m_mutex;
    QList<QSharedPointer<Printer>> m_printers; // guarded by m_mutex
    QSharedPointer<Printer> m_virtual; // guarded by m_mutex
};
