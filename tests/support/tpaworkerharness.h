#pragma once

#include "terminalsimulator.h"
#include "tpaworker.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QThread;

// Runs one terminal worker on its own thread and wired to it the way the terminal record is:
// by signal and slot signature, queued across the threads. Records what the worker reports.
class TpaWorkerHarness : public QObject
{
    Q_OBJECT

public:
    // Intervals short enough for tests; the periodic poll is left out of the way.
    static TpaWorker::Intervals fastIntervals();

    TpaWorkerHarness(TerminalSimulator::Family family, const QString &portPath,
        const TpaWorker::Intervals &intervals = fastIntervals());
    ~TpaWorkerHarness() override;

    bool connected() const { return m_connected; }
    // Starts the worker thread; the worker opens its port and sends its first poll.
    void start();
    // Runs job on the worker's thread and waits for it.
    void onWorkerThread(const std::function<void(TpaWorker *)> &job);

    QStringList statuses;
    QStringList transactionStatuses;
    QList<bool> transitions;
    // Everything above in arrival order: "status:TEXT", "transaction:TEXT", "in:true", "in:false".
    QStringList events;
    int starts() const { return int(transitions.count(true)); }
    int ends() const { return int(transitions.count(false)); }
    bool inTransaction() const { return !transitions.isEmpty() && transitions.last(); }
    void clear();

signals:
    void sendMessage(QByteArray command);

private slots:
    void onSetStatus(QString status);
    void onSetTransactionStatus(QString transactionStatus);
    void onInTransactionChanged(bool inTransaction);

private:
    QThread *m_thread;
    TpaWorker *m_worker;
    bool m_connected = true;
};
