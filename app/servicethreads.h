#pragma once

#include "queuepoller.h"

#include <QObject>

class ApiBackend;
class JobWatch;
class PrintClientRequestHandler;
class QThread;

// The threads the controller's helpers work on, where nothing they wait for holds up the window:
// the API's request handler, the print-queue poller and the probe of the escpos queues' printers.
// They start with this object and are stopped when it goes.
class ServiceThreads : public QObject
{
    Q_OBJECT

public:
    // The handler serves `backend`; the poller follows the jobs in `jobWatch`. Both must outlive
    // this object.
    ServiceThreads(ApiBackend *backend, JobWatch *jobWatch, QObject *parent = nullptr);
    ~ServiceThreads() override;

    // Lives on a thread of its own; its `service` is called on the connection threads.
    PrintClientRequestHandler *requestHandler() const { return m_handler; }

signals:
    // Asks the poller to read the queues; the answer comes with queuesPolled.
    void requestPrinters();
    void queuesPolled(const QueuePoller::Result &result);

private:
    PrintClientRequestHandler *m_handler;
    QThread *m_pollerThread;
    QThread *m_probeThread;
};
