#pragma once

#include "jobstatus.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

// The jobs the program sent, followed until they end, so that the user hears once of each one
// that ends aborted or stays stopped (or pending on a stopped queue) longer than a grace time. Jobs come from
// any thread; the readings come from the refresh.
class JobWatch
{
public:
    // Beyond this many, the oldest job is no longer followed.
    static constexpr int maxJobs = 100;

    // How long a job may stay stopped before the user hears of it: 5 s by default.
    void setStoppedGraceMs(int ms);
    void add(const QString &printer, int jobId);
    // The jobs to read at the next refresh.
    QList<int> jobIds() const;
    // A refresh's reading, by job id: a job the scheduler does not know has id 0, and a job
    // missing from the reading was not read. The jobs the user must hear of, once each.
    QList<JobStatus> update(const QHash<int, JobStatus> &jobs, qint64 nowMs);

private:
    struct Watched
    {
        QString printer;
        int id;
        qint64 stoppedSinceMs;
    };

    mutable QMutex m_mutex;
    QList<Watched> m_jobs; // guarded by m_mutex
    int m_stoppedGraceMs = 5000; // guarded by m_mutex
};
