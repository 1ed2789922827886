#pragma once

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
    // this order wins (paper running low, a working printer's only trouble, comes last).
    enum Situation { Offline, OutOfPaper, CoverOpen, Error, Paused, Busy, Ready, PaperLow };
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
    // Where the scheduler sends the queue's jobs.
    QString deviceUri;

    // A queue of Varnel's own backend, whose printer reports its state.
    bool escpos() const { return deviceUri.startsWith(QLatin1String("escpos:")); }
    // Why an escpos queue's printer cannot print now ("out of paper", "cover open", "offline"),
    // or empty.
    QString notReadyCause() const;

    // Ready as the API has always said it: idle or printing; for an escpos queue also nothing
    // the printer reported stops it.
    bool ready() const { return reachable && state != Stopped && notReadyCause().isEmpty(); }
    Situation situation() const;
    QString stateName() const;
};

Q_DECLARE_METATYPE(PrinterStatus)
