#include "jobwatch.h"

void JobWatch::setStoppedGraceMs(int ms)
{
    QMutexLocker locker(&m_mutex);
    m_stoppedGraceMs = ms;
}

void JobWatch::add(const QString &printer, int jobId)
{
    QMutexLocker locker(&m_mutex);
    m_jobs.append({ printer, jobId, -1 });
    if (m_jobs.size() > maxJobs)
        m_jobs.removeFirst();
}

QList<int> JobWatch::jobIds() const
{
    QMutexLocker locker(&m_mutex);
    QList<int> ids;
    for (const Watched &job : m_jobs)
        ids << job.id;
    return ids;
}

QList<JobStatus> JobWatch::update(const QHash<int, JobStatus> &jobs, qint64 nowMs)
{
    QMutexLocker locker(&m_mutex);
    QList<JobStatus> alerts;
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        const auto read = jobs.constFind(it->id);
        if (read == jobs.constEnd()) {
            ++it;
            continue;
        }
        const JobStatus &job = *read;
        // A number the scheduler gives to a job of another queue is not this job.
        bool done = job.id == 0 || job.printer != it->printer || job.finished();
        // CUPS puts a job back to pending when its queue stops under it (a backend that found
        // no paper, say): that job is as stopped as one in the stopped state.
        const bool stopped = job.state == JobStatus::Stopped
            || (job.state == JobStatus::Pending && job.reasons.contains(QLatin1String("printer-stopped")));
        if (!done && stopped) {
            if (it->stoppedSinceMs < 0)
                it->stoppedSinceMs = nowMs;
            done = nowMs - it->stoppedSinceMs >= m_stoppedGraceMs;
        } else {
            it->stoppedSinceMs = -1;
        }
        if (done && job.printer == it->printer && (job.state == JobStatus::Aborted || stopped))
            alerts << job;
        it = done ? m_jobs.erase(it) : it + 1;
    }
    return alerts;
}
