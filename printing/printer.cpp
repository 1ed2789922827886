#include "printer.h"

#include "cupsconnection.h"
#include "cupsrawjob.h"
#include "escinterpreter.h"
#include "escposprobe.h"
#include "printjob.h"
#include "replytext.h"
#include "workbudget.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QScopeGuard>
#include <QSemaphore>

Printer::Printer(const PrinterStatus &status, QObject *parent)
    : QObject(parent)
    , m_name(status.name)
    , m_status(status)
{
    m_available = m_settings.value(settingsKey(), false).toBool();
    connect(this, &Printer::availableChanged, this, &Printer::persistAvailability);
}

int Printer::print(const QJsonArray &commands, bool compatibilityMode, QString *error,
    const std::function<void(const QByteArray &)> &translated) const
{
    const SendOrder::Turn turn = m_sendOrder.take();
    PrintJob job(commands, compatibilityMode);
    if (!job.translate()) {
        *error = job.errorString();
        return 0;
    }
    if (translated)
        translated(job.bytes());
    return send(job.blocks(), job.dotWidth(), turn, error);
}

int Printer::printTranslated(const QByteArray &bytes, QString *error) const
{
    const SendOrder::Turn turn = m_sendOrder.take();
    // The width is only known to the job's settings: the usual paper's.
    return send({ bytes }, ESCInterpreter::defaultDotWidth, turn, error);
}

int Printer::send(const QList<QByteArray> &blocks, int, const SendOrder::Turn &turn, QString *error) const
{
    turn.wait();
    CupsRawJob raw(m_name);
    bool sent = raw.open();
    for (const QByteArray &block : blocks) {
        if (sent)
            sent = raw.write(block);
    }
    sent = sent && raw.finish();
    *error = raw.failure();
    return sent ? raw.id() : 0;
}

QByteArray Printer::preview(const QJsonArray &commands, bool compatibilityMode, QSize *size, QString *error,
    const std::function<bool()> &callerGone)
{
    // Each one under way holds its job; beyond these a caller is told at once to come back.
    static QAtomicInt underWay;
    const bool admitted = underWay.fetchAndAddOrdered(1) < maxPreviews;
    const auto leave = qScopeGuard([] { underWay.deref(); });
    if (!admitted) {
        *error = ReplyText::previewBusy();
        return QByteArray();
    }
    PrintJob job(commands, compatibilityMode);
    if (!job.translate()) {
        *error = job.errorString();
        return QByteArray();
    }
    return draw(job.bytes(), job.dotWidth(), size, error, callerGone);
}

qint64 Printer::previewTimeMs()
{
    static const qint64 ms = [] {
        const int value = qEnvironmentVariableIntValue("VARNEL_PREVIEW_TIME_MS");
        return value > 0 ? value : 5000;
    }();
    return ms;
}

QByteArray Printer::draw(const QByteArray &bytes, int dotWidth, QSize *size, QString *error,
    const std::function<bool()> &callerGone)
{
    // A drawing holds the whole paper; the CPU allows little more than two at a time anyway.
    static QSemaphore drawings(2);
    if (!drawings.tryAcquire(1, int(previewTimeMs()))) {
        *error = ReplyText::previewBusy();
        return QByteArray();
    }
    const QSemaphoreReleaser drawing(drawings);
    QImage paper;
    {
        WorkBudget budget(previewTimeMs(), callerGone);
        ESCInterpreter interpreter(dotWidth);
        interpreter.setBudget(&budget);
        interpreter.feed(bytes);
        if (interpreter.truncated())
            *error = ReplyText::previewTooLong(interpreter.maxHeight());
        else if (budget.end() == WorkBudget::End::Time)
            *error = ReplyText::previewTooSlow(budget.timeMs());
        else if (budget.end() == WorkBudget::End::CallerGone)
            *error = ReplyText::previewAbandoned();
        else
            paper = interpreter.paper();
    }
    QByteArray png;
    if (!paper.isNull()) {
        *size = paper.size();
        png = ESCInterpreter::toPng(paper);
        paper = QImage();
    }
    // Even a short receipt's paper takes more than a megabyte.
    ImageSource::handBackMemory();
    return png;
}

Printer::Reading Printer::readStatus(PrinterStatus *status, QString *error) const
{
    CupsConnection cups;
    bool found = false;
    if (!cups.queue(m_name, status, &found)) {
        *error = ReplyText::cupsNotAnswering();
        return Reading::NoAnswer;
    }
    EscPosProbe::merge(status);
    return found ? Reading::Read : Reading::Missing;
}

Printer::Reading Printer::readJob(int jobId, JobStatus *job, QString *error) const
{
    *job = JobStatus();
    CupsConnection cups;
    if (jobId > 0 && !cups.job(jobId, job)) {
        *error = ReplyText::cupsNotAnswering();
        return Reading::NoAnswer;
    }
    // A job of another queue is as unknown to this printer as one that never was.
    if (job->id <= 0 || job->id != jobId || job->printer != m_name) {
        *job = JobStatus();
        *error = ReplyText::jobNotFound();
        return Reading::Missing;
    }
    return Reading::Read;
}

PrinterStatus Printer::status() const
{
    QMutexLocker locker(&m_statusLock);
    return m_status;
}

void Printer::setStatus(const PrinterStatus &status)
{
    const PrinterStatus before = this->status();
    {
        QMutexLocker locker(&m_statusLock);
        m_status = status;
    }
    if (before.ready() != status.ready())
        emit stateChanged(status.ready());
    if (before.situation() != status.situation())
        emit situationChanged();
}

void Printer::setAvailable(bool value)
{
    m_available = value;
    emit availableChanged(value);
}

QString Printer::hash() const
{
    return QString::fromLatin1(
        QCryptographicHash::hash(m_name.toLatin1(), QCryptographicHash::Sha1).toBase64());
}

QString Printer::settingsKey() const
{
    return QStringLiteral("printers/%1").arg(hash());
}

void Printer::persistAvailability()
{
    m_settings.setValue(settingsKey(), m_available.load());
    m_settings.sync();
}
