#include "escposprobe.h"

#include "cupsconnection.h"
#include "escposlink.h"
#include "escposstatus.h"

#include <QDateTime>
#include <QMutex>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <cerrno>

namespace {

struct Reading
{
    QStringList reasons;
    qint64 at = 0;
};

QMutex readingsLock;
QHash<QString, Reading> readings; // guarded by readingsLock

// The reasons of one short exchange with the printer at uri; false when its device is held by a
// job (a USB printer opens once), so nothing was learnt.
bool ask(const QString &uri, QStringList *reasons)
{
    EscPosLink link(uri);
    // The queue's reply time, at most a second: the probe has many printers to ask.
    int replyMs = QUrlQuery(QUrl(uri)).queryItemValue(QStringLiteral("reply")).toInt();
    if (replyMs <= 0 || replyMs > 1000)
        replyMs = 1000;
    if (!link.open(1000)) {
        if (link.errorCode() == EBUSY)
            return false;
        *reasons = QStringList { EscPosStatus::offlineReason() };
        return true;
    }
    EscPosStatus status;
    if (link.writeAll(status.requestAll(), replyMs)) {
        QDeadlineTimer deadline(replyMs);
        while (status.awaitedReplies() > 0 && !deadline.hasExpired() && !link.lost())
            status.feed(link.read(int(deadline.remainingTime())));
    }
    if (link.lost())
        *reasons = QStringList { EscPosStatus::offlineReason() };
    else
        *reasons
            = status.awaitedReplies() == 0 ? status.reasons() : QStringList { EscPosStatus::unknownReason() };
    return true;
}

} // namespace

int EscPosProbe::intervalMs()
{
    const int ms = qEnvironmentVariableIntValue("VARNEL_ESCPOS_PROBE_MS");
    return ms > 0 ? ms : 2000;
}

EscPosProbe::EscPosProbe(QObject *parent)
    : QObject(parent)
{
}

void EscPosProbe::start()
{
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &EscPosProbe::probe);
    m_timer->start(intervalMs());
    probe();
}

void EscPosProbe::probe()
{
    CupsConnection cups;
    QList<PrinterStatus> queues;
    if (!cups.queues(&queues))
        return;
    bool anyChange = false;
    for (const PrinterStatus &queue : qAsConst(queues)) {
        // A job's backend holds the printer and reports for itself.
        if (!queue.escpos() || queue.state != PrinterStatus::Idle || queue.queuedJobs > 0)
            continue;
        QStringList reasons;
        if (!ask(queue.deviceUri, &reasons))
            continue;
        QMutexLocker locker(&readingsLock);
        Reading &reading = readings[queue.deviceUri];
        anyChange = anyChange || reading.reasons != reasons;
        reading = Reading { reasons, QDateTime::currentMSecsSinceEpoch() };
    }
    if (anyChange)
        emit changed();
}

void EscPosProbe::merge(PrinterStatus *status)
{
    if (!status->escpos() || status->state != PrinterStatus::Idle || status->queuedJobs > 0)
        return;
    Reading reading;
    {
        QMutexLocker locker(&readingsLock);
        reading = readings.value(status->deviceUri);
    }
    // A reading older than a few intervals belongs to a probe that stopped.
    if (reading.at < QDateTime::currentMSecsSinceEpoch() - 3 * intervalMs())
        return;
    for (const QString &reason : EscPosStatus::allReasons())
        status->reasons.removeAll(reason);
    status->reasons += reading.reasons;
}
