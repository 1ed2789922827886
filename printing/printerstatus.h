#pragma once

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

// What the scheduler says about one print queue.
class PrinterStatus
{
    Q_GADGET

public:
    enum State { Idle, Printing, Stopped };
    // The queue's situation in a word for the user; when several reasons apply, the first of
    // this order wins.
    enum Situation { Offline, OutOfPaper, CoverOpen, Error, Paused, Busy, Ready };
    Q_ENUM(Situation)

    QString name;
    State state = Idle;
    bool accepting = true;
    // printer-state-reasons without "none", as the scheduler gives them.
    QStringList reasons;
    // Jobs on the queue that have not finished.
    int queuedJobs = 0;
    // False when the scheduler did not answer the last time it was asked.
    bool reachable = true;

    // Ready as the API has always said it: idle or printing.
    bool ready() const { return reachable && state != Stopped; }
    Situation situation() const;
    QString stateName() const;
};

Q_DECLARE_METATYPE(PrinterStatus)
