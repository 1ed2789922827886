#include "servicethreads.h"

#include "escposprobe.h"
#include "printclientrequesthandler.h"

#include <QThread>

ServiceThreads::ServiceThreads(ApiBackend *backend, JobWatch *jobWatch, QObject *parent)
    : QObject(parent)
    , m_handler(new PrintClientRequestHandler)
    , m_pollerThread(new QThread(this))
    , m_probeThread(new QThread(this))
{
    // The request handler's thread ends once this object is gone and takes the handler with it.
    auto thread = new QThread;
    m_handler->setPrintClient(backend);
    m_handler->moveToThread(thread);
    connect(this, &QObject::destroyed, thread, &QThread::quit);
    connect(thread, &QThread::finished, m_handler, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();

    // The print queues are read where a slow scheduler holds up nothing else.
    auto poller = new QueuePoller(jobWatch);
    poller->moveToThread(m_pollerThread);
    connect(this, &ServiceThreads::requestPrinters, poller, &QueuePoller::poll);
    connect(poller, &QueuePoller::polled, this, &ServiceThreads::queuesPolled);
    connect(m_pollerThread, &QThread::finished, poller, &QObject::deleteLater);
    m_pollerThread->start();

    // The printers of escpos queues are asked between jobs: one that does not answer takes its
    // reply time. A change is shown at once.
    auto probe = new EscPosProbe;
    probe->moveToThread(m_probeThread);
    connect(m_probeThread, &QThread::started, probe, &EscPosProbe::start);
    connect(probe, &EscPosProbe::changed, poller, &QueuePoller::poll);
    connect(m_probeThread, &QThread::finished, probe, &QObject::deleteLater);
    m_probeThread->start();
}

ServiceThreads::~ServiceThreads()
{
    for (QThread *thread : { m_pollerThread, m_probeThread }) {
        thread->quit();
        thread->wait();
    }
}
