#pragma once

#include "jobstatus.h"
#include "printerstatus.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>

class JobWatch;

// Reads every queue of the scheduler, and the jobs being followed, on a thread of its own: the
// scheduler may take up to CupsConnection's time to answer, and no other thread waits for that.
class QueuePoller : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        // False when the scheduler did not answer; the lists are then empty.
        bool answered = false;
        QList<PrinterStatus> queues;
        // By job id; an unknown job has id 0, and a job the scheduler did not answer for is missing.
        QHash<int, JobStatus> jobs;
    };

    explicit QueuePoller(const JobWatch *watch, QObject *parent = nullptr);

public slots:
    void poll();

signals:
    void polled(const QueuePoller::Result &result);

private:
    const JobWatch *m_watch;
};

Q_DECLARE_METATYPE(QueuePoller::Result)
