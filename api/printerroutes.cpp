#include "printerroutes.h"

#include "apibackend.h"
#include "apirequest.h"
#include "envelope.h"
#include "journal.h"
#include "printer.h"
#include "replytext.h"

#include <QJsonArray>

QSharedPointer<Printer> PrinterRoutes::find(
    const QList<QSharedPointer<Printer>> &printers, const QString &name)
{
    if (name.isEmpty())
        return {};
    for (const QSharedPointer<Printer> &printer : printers) {
        if (printer->available() && printer->name() == name)
            return printer;
    }
    return {};
}

void PrinterRoutes::getPrinters(ApiBackend &client, QJsonObject &result)
{
    QJsonArray names;
    for (const QSharedPointer<Printer> &printer : client.printerList()) {
        if (printer->available())
            names << printer->name();
    }
    Envelope::succeed(result, names);
}

void PrinterRoutes::getPrinterStatus(Printer &printer, QJsonObject &result)
{
    PrinterStatus status;
    QString error;
    switch (printer.readStatus(&status, &error)) {
    case Printer::Reading::Read:
        Envelope::succeed(result, status.ready());
        result.insert(QStringLiteral("state"), status.stateName());
        result.insert(QStringLiteral("accepting"), status.accepting);
        result.insert(QStringLiteral("reasons"), QJsonArray::fromStringList(status.reasons));
        result.insert(QStringLiteral("queuedJobs"), status.queuedJobs);
        break;
    case Printer::Reading::Missing:
        // Gone from the system since the last refresh: not ready, as it has always said.
        Envelope::succeed(result, false);
        break;
    case Printer::Reading::NoAnswer:
        Envelope::fail(result, error);
        break;
    }
}

void PrinterRoutes::sendJob(
    ApiBackend &client, Printer &printer, const ApiRequest &request, QJsonObject &result)
{
    PrinterStatus status;
    QString error;
    const Printer::Reading reading = printer.readStatus(&status, &error);
    if (reading == Printer::Reading::NoAnswer) {
        Envelope::fail(result, error);
        return;
    }
    if (reading == Printer::Reading::Read && !status.notReadyCause().isEmpty()) {
        // Nothing is queued that would print when nobody expects it any more.
        Envelope::fail(result, ReplyText::printerNotReady(status.notReadyCause()));
        return;
    }
    if (reading == Printer::Reading::Missing || !status.ready()) {
        Envelope::fail(result, ReplyText::printerNotReady());
        return;
    }
    if (request.job.isEmpty()) {
        Envelope::fail(result, ReplyText::jobEmpty());
        return;
    }
    // In the journal, with its bytes, before they go; its outcome before the reply does.
    Journal *journal = client.journal();
    qint64 entry = 0;
    const int jobId
        = printer.print(request.job, client.compatibilityMode(), &error, [&](const QByteArray &bytes) {
              if (journal)
                  entry = journal->run([&](JournalStore &store) {
                      return store.printStarted(printer.name(), request.requestId, bytes);
                  });
          });
    if (jobId <= 0)
        Envelope::fail(result, error.isEmpty() ? ReplyText::jobNotPrinted() : error);
    if (entry)
        journal->run([&](JournalStore &store) {
            return store.printEnded(entry, qMax(jobId, 0),
                jobId > 0 ? ReplyText::jobSent() : result.value(QStringLiteral("error")).toString());
        });
    if (jobId <= 0)
        return;
    client.watchJob(printer.name(), jobId);
    Envelope::succeed(result, ReplyText::jobSent());
    result.insert(QStringLiteral("jobId"), jobId);
}

void PrinterRoutes::getJobStatus(
    ApiBackend &client, Printer &printer, const ApiRequest &request, QJsonObject &result)
{
    JobStatus job;
    PrinterStatus status;
    QString error;
    const Printer::Reading reading = printer.readJob(request.jobId, &job, &error);
    QString state = job.stateName();
    Journal *journal = client.journal();
    const QString name = printer.name();
    const int jobId = request.jobId;
    if (journal && reading == Printer::Reading::Read && job.finished()) {
        journal->run([&](JournalStore &store) { store.jobEnded(name, jobId, state); });
    } else if (journal && reading == Printer::Reading::Missing) {
        // A job of an earlier run that the scheduler has let go of: how it ended, as learnt then.
        state = journal->run([&](JournalStore &store) { return store.jobState(name, jobId); });
    }
    if ((reading != Printer::Reading::Read && state.isEmpty())
        || printer.readStatus(&status, &error) == Printer::Reading::NoAnswer) {
        Envelope::fail(result, error);
        return;
    }
    Envelope::succeed(result, state);
    result.insert(QStringLiteral("reasons"), QJsonArray::fromStringList(job.reasons));
    result.insert(QStringLiteral("printerReasons"), QJsonArray::fromStringList(status.reasons));
}

void PrinterRoutes::previewJob(ApiBackend &client, const ApiRequest &request, QJsonObject &result,
    const std::function<bool()> &callerGone)
{
    // The printer is optional here; one given must be enabled.
    if (!request.printer.isEmpty() && !find(client.printerList(), request.printer)) {
        Envelope::fail(result, ReplyText::printerNotFound());
        return;
    }
    if (request.job.isEmpty()) {
        Envelope::fail(result, ReplyText::jobEmpty());
        return;
    }
    QString error;
    QSize size;
    const QByteArray png
        = Printer::preview(request.job, client.compatibilityMode(), &size, &error, callerGone);
    if (png.isEmpty()) {
        Envelope::fail(result, error);
        return;
    }
    Envelope::succeed(result, QString::fromLatin1(png.toBase64()));
    result.insert(QStringLiteral("width"), size.width());
    result.insert(QStringLiteral("height"), size.height());
}
