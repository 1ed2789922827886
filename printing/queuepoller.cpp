#include "queuepoller.h"

#include "cupsconnection.h"
#include "escposprobe.h"
#include "jobwatch.h"

QueuePoller::QueuePoller(const JobWatch *watch, QObject *parent)
    : QObject(parent)
    , m_watch(watch)
{
    qRegisterMetaType<QueuePoller::Result>();
}

void QueuePoller::poll()
{
    CupsConnection cups;
    Result result;
    result.answered = cups.queues(&result.queues);
    for (PrinterStatus &queue : result.queues)
        EscPosProbe::merge(&queue);
    for (const int id : m_watch->jobIds()) {
        JobStatus job;
        if (!cups.job(id, &job))
            break;
        result.jobs.insert(id, job);
    }
    emit polled(result);
}
