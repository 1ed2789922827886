#include "virtualprinter.h"

#include "replytext.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QSaveFile>

namespace {

// Numbers of the files, also the job numbers: they sort in the order the jobs came, also within
// one millisecond.
QAtomicInteger<int> files;

PrinterStatus named(const QString &name)
{
    PrinterStatus status;
    status.name = name;
    return status;
}

} // namespace

VirtualPrinter::VirtualPrinter(const QString &outputDir, QObject *parent)
    : Printer(named(printerName()), parent)
    , m_outputDir(outputDir)
{
}

void VirtualPrinter::continueAfter(int lastJobId)
{
    files.storeRelaxed(qMax(files.loadRelaxed(), lastJobId));
}

int VirtualPrinter::send(
    const QList<QByteArray> &blocks, int dotWidth, const SendOrder::Turn &turn, QString *error) const
{
    QSize size;
    const QByteArray png = draw(blocks.join(), dotWidth, &size, error);
    if (png.isEmpty())
        return 0;
    turn.wait();
    const int number = files.fetchAndAddRelaxed(1) + 1;
    QSaveFile file(
        QDir(m_outputDir)
            .filePath(QStringLiteral("varnel-%1-%2.png")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                          .arg(number, 4, 10, QLatin1Char('0'))));
    const bool written = QDir().mkpath(m_outputDir) && file.open(QIODevice::WriteOnly) && file.write(png) >= 0
        && file.commit();
    return written ? number : 0;
}

Printer::Reading VirtualPrinter::readStatus(PrinterStatus *status, QString *) const
{
    *status = this->status();
    return Reading::Read;
}

Printer::Reading VirtualPrinter::readJob(int jobId, JobStatus *job, QString *error) const
{
    *job = JobStatus();
    // Every file numbered, in this run or an earlier one, has been written, or failed to be.
    if (jobId <= 0 || jobId > files.loadRelaxed()) {
        *error = ReplyText::jobNotFound();
        return Reading::Missing;
    }
    job->id = jobId;
    job->printer = name();
    job->state = JobStatus::Completed;
    return Reading::Read;
}
