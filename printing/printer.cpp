#include "printer.h"

#include "cupsconnection.h"
#include "cupsrawjob.h"
#include "escinterpreter.h"
#include "printjob.h"
#include "replytext.h"

#include <QCryptographicHash>
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
    return send(job, turn, error);
}

int Printer::send(const PrintJob &job, const SendOrder::Turn &turn, QString *error) const
{
    turn.wait();
    CupsRawJob raw(m_name);
    bool sent = raw.open();
    for (const QByteArray &block : job.blocks()) {
        if (sent)
            sent = raw.write(block);
    }
    sent = sent && raw.finish();
    *error = raw.failure();
    return sent ? raw.id() : 0;
}

QByteArray Printer::preview(const QJsonArray &commands, bool compatibilityMode, QSize *size, QString *error)
{
    PrintJob job(commands, compatibilityMode);
    if (!job.translate()) {
        *error = job.errorString();
        return QByteArray();
    }
    return draw(job, size);
}

QByteArray Printer::draw(const PrintJob &job, QSize *size)
{
    // A drawing holds the whole paper; the CPU allows little more than two at a time anyway.
    static QSemaphore drawings(2);
    drawings.acquire();
    const QSemaphoreReleaser drawing(drawings);
    ESCInterpreter interpreter(job.dotWidth());
    interpreter.feed(job.bytes());
    QImage paper = interpreter.paper();
    *size = paper.size();
    const QByteArray png = ESCInterpreter::toPng(paper);
    if (paper.sizeInBytes() >= ImageSource::largeBytes) {
        paper = QImage();
        ImageSource::handBackMemory();
    }
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

bool Printer::state() const
{
    return status().ready();
}

int Printer::situation() const
{
    return status().situation();
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
