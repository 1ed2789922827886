#pragma once

#include <QString>
#include <QStringList>

// What the scheduler says about one job.
class JobStatus
{
public:
    // The values of IPP's job-state; a scheduler may send others.
    enum State : int { Unknown = 0, Pending = 3, Held, Printing, Stopped, Canceled, Aborted, Completed };

    int id = 0;
    // The queue the job is on; empty when the scheduler did not say.
    QString printer;
    State state = Unknown;
    // job-state-reasons without "none".
    QStringList reasons;

    // "pending", "held", "printing", "stopped", "canceled", "aborted", "completed", or empty.
    QString stateName() const;
    // Completed, canceled or aborted: the job will not change any more.
    bool finished() const { return state >= Canceled; }
};
