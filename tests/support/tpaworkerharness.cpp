#include "tpaworkerharness.h"

#include "tpaworkeringenico.h"
#include "tpaworkernewnote.h"

#include <QThread>

TpaWorker::Intervals TpaWorkerHarness::fastIntervals()
{
    TpaWorker::Intervals intervals;
    intervals.firstPollMs = 60000;
    intervals.pollMs = 60000;
    intervals.pollAfterCommandMs = 250;
    intervals.pollReplyTimeoutMs = 200;
    intervals.transactionTimeoutMs = 60000;
    return intervals;
}

TpaWorkerHarness::TpaWorkerHarness(
    TerminalSimulator::Family family, const QString &portPath, const TpaWorker::Intervals &intervals)
    : m_thread(new QThread(this))
{
    if (family == TerminalSimulator::Ingenico)
        m_worker = new TpaWorkerIngenico(portPath);
    else
        m_worker = new TpaWorkerNewnote(portPath);
    m_worker->setIntervals(intervals);
    m_worker->moveToThread(m_thread);
    m_connected = connect(m_thread, SIGNAL(started()), m_worker, SLOT(startWorker()))
        && connect(m_thread, SIGNAL(finished()), m_worker, SLOT(deleteLater()))
        && connect(this, SIGNAL(sendMessage(QByteArray)), m_worker, SLOT(setNewCommand(QByteArray)))
        && connect(m_worker, SIGNAL(setLastStatus(QString)), this, SLOT(onSetStatus(QString)))
        && connect(
            m_worker, SIGNAL(setLastTransactionStatus(QString)), this, SLOT(onSetTransactionStatus(QString)))
        && connect(m_worker, SIGNAL(setInTransactionChanged(bool)), this, SLOT(onInTransactionChanged(bool)));
}

TpaWorkerHarness::~TpaWorkerHarness()
{
    if (m_thread->isRunning()) {
        m_thread->quit();
        m_thread->wait();
    } else {
        delete m_worker;
    }
}

void TpaWorkerHarness::start()
{
    m_thread->start();
}

void TpaWorkerHarness::onWorkerThread(const std::function<void(TpaWorker *)> &job)
{
    TpaWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker, [worker, job] { job(worker); }, Qt::BlockingQueuedConnection);
}

void TpaWorkerHarness::clear()
{
    statuses.clear();
    transactionStatuses.clear();
    transitions.clear();
    events.clear();
}

void TpaWorkerHarness::onSetStatus(QString status)
{
    statuses += status;
    events += QStringLiteral("status:") + status;
}

void TpaWorkerHarness::onSetTransactionStatus(QString transactionStatus)
{
    transactionStatuses += transactionStatus;
    events += QStringLiteral("transaction:") + transactionStatus;
}

void TpaWorkerHarness::onInTransactionChanged(bool inTransaction)
{
    transitions += inTransaction;
    events += inTransaction ? QStringLiteral("in:true") : QStringLiteral("in:false");
}
