#pragma once

#include "serialportdescription.h"
#include "tpa.h"
#include "tpaworker.h"

#include <QList>
#include <QMutex>
#include <QSharedPointer>

class TpaJournal;

// The payment terminals found on the serial ports. A refresh keeps every terminal whose port is
// still reported (same USB ids and port), adds one for each new port of a terminal maker, and
// drops those whose port is gone. Refreshed on one thread, read from any: snapshots keep a
// terminal alive after a refresh dropped it.
class TpaList
{
public:
    TpaList() = default;
    TpaList(const TpaList &) = delete;
    TpaList &operator=(const TpaList &) = delete;

    // Where the terminals created from now on file their texts.
    void setJournal(TpaJournal *journal) { m_journal = journal; }
    void merge(const QList<SerialPortDescription> &ports);

    QList<QSharedPointer<Tpa>> snapshot() const;
    int size() const;
    Tpa *at(int index) const;

private:
    TpaJournal *m_journal = nullptr;
    mutable QMutex m_mutex;
    QList<QSharedPointer<Tpa>> m_tpas; // guarded by m_mutex
};
