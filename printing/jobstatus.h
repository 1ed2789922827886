#pragma once

#include <QString>
#include <QStringList>

#include <cups/ipp.h>

// What the scheduler says about one job.
class JobStatus
{
public:
    int id = 0;
    // The queue the job is on; empty when the scheduler did not say.
    QString printer;
    // IPP job-state: 3 pending … 9 completed; 0 when unknown.
    int state = 0;
    // job-state-reasons without "none".
    QStringList reasons;

    // "pending", "held", "printing", "stopped", "canceled", "aborted", "completed", or empty.
    QString stateName() const;
    // Completed, canceled or aborted: the job will not change any more.
    bool finished() const { return state >= IPP_JSTATE_CANCELED; }

    // The first job group of an IPP response (Get-Job-Attributes).
    static JobStatus fromIpp(ipp_t *response);
};
