#include "printer.h"

#include "cupsconnection.h"
#include "escinterpreter.h"
#include "nativeescfakesocket.h"
#include "printjob.h"
#include "replytext.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <QSemaphore>

namespace {

// Numbers of the virtual printer's files, also its job numbers: they sort in the order the jobs
// came, also within one millisecond.
QAtomicInteger<int> virtualJobs;

} // namespace

Printer::Printer(const PrinterStatus &status, QObject *parent)
    : Printer(status, QString(), parent)
{
}

Printer::Printer(const PrinterStatus &status, const QString &outputDir, QObject *parent)
    : QObject(parent)
    , m_name(outputDir.isEmpty() ? status.name : QStringLiteral("Varnel Preview"))
    , m_outputDir(outputDir)
    , m_status(status)
{
    m_available = m_settings.value(settingsKey(), false).toBool();
    connect(this, &Printer::availableChanged, this, &Printer::persistAvailability);
}

Printer *Printer::virtualPrinter(const QString &outputDir)
{
    return new Printer(PrinterStatus(), outputDir, nullptr);
}

QString Printer::name() const
{
    return m_name;
}

int Printer::print(const QJsonArray &commands, bool compatibilityMode, QString *error,
    const std::function<void(const QByteArray &)> &translated) const
{
    const SendOrder::Turn turn = m_sendOrder.take();
    if (!m_outputDir.isEmpty()) {
        if (translated) {
            PrintJob job(commands, QString(), compatibilityMode);
            if (job.translate())
                translated(job.bytes());
        }
        QSize size;
        const QByteArray png = preview(commands, compatibilityMode, &size, error);
        if (png.isEmpty())
            return 0;
        turn.wait();
        const int number = virtualJobs.fetchAndAddRelaxed(1) + 1;
        QSaveFile file(QDir(m_outputDir)
                           .filePath(QStringLiteral("varnel-%1-%2.png")
                                         .arg(QDateTime::currentDateTime().toString(
                                             QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                                         .arg(number, 4, 10, QLatin1Char('0'))));
        const bool written = QDir().mkpath(m_outputDir) && file.open(QIODevice::WriteOnly)
            && file.write(png) >= 0 && file.commit();
        return written ? number : 0;
    }
    PrintJob job(commands, name(), compatibilityMode);
    if (!job.translate()) {
        *error = job.errorString();
        return 0;
    }
    if (translated)
        translated(job.bytes());
    turn.wait();
    const bool printed = job.execute();
    *error = job.errorString();
    return printed ? job.jobId() : 0;
}

QByteArray Printer::preview(const QJsonArray &commands, bool compatibilityMode, QSize *size, QString *error)
{
    PrintJob job(commands, QString(), compatibilityMode);
    if (!job.translate()) {
        *error = job.errorString();
        return QByteArray();
    }
    // A drawing holds the whole paper; the CPU allows little more than two at a time anyway.
    static QSemaphore drawings(2);
    drawings.acquire();
    const QSemaphoreReleaser drawing(drawings);
    ESCInterpreter interpreter(job.dotWidth());
    interpreter.feed(job.bytes());
    QImage paper = interpreter.paper();
    *size = paper.size();
    const QByteArray png = ESCInterpreter::toPng(paper);
    if (paper.sizeInBytes() >= PrintJob::largeBytes) {
        paper = QImage();
        PrintJob::handBackMemory();
    }
    return png;
}

Printer::Reading Printer::readStatus(PrinterStatus *status, QString *error) const
{
    if (!m_outputDir.isEmpty()) {
        *status = this->status();
        return Reading::Read;
    }
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
    if (!m_outputDir.isEmpty()) {
        // Every file the virtual printer numbered has been written, or failed to be.
        if (jobId > 0 && jobId <= virtualJobs.loadRelaxed()) {
            job->id = jobId;
            job->printer = m_name;
            job->state = IPP_JSTATE_COMPLETED;
        }
    } else {
        CupsConnection cups;
        if (jobId > 0 && !cups.job(jobId, job)) {
            *error = ReplyText::cupsNotAnswering();
            return Reading::NoAnswer;
        }
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
    if (!m_outputDir.isEmpty()) {
        PrinterStatus ready;
        ready.name = m_name;
        return ready;
    }
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

void Printer::setAvailable(const bool &value)
{
    m_available = value;
    emit availableChanged(value);
}

QString Printer::getHash() const
{
    return QString::fromLatin1(
        QCryptographicHash::hash(name().toLatin1(), QCryptographicHash::Sha1).toBase64());
}

QString Printer::settingsKey() const
{
    return QStringLiteral("printers/%1").arg(getHash());
}

void Printer::persistAvailability()
{
    m_settings.setValue(settingsKey(), m_available.load());
    m_settings.sync();
}
