#pragma once

#include "printer.h"

// The printer "Varnel Preview", always ready: each job, translated as for paper, becomes a PNG
// file of the paper it would make in a folder. Its job numbers are the files' numbers.
class VirtualPrinter : public Printer
{
public:
    explicit VirtualPrinter(const QString &outputDir, QObject *parent = nullptr);

    static QString printerName() { return QStringLiteral("Varnel Preview"); }
    // Job numbers go on after the last one an earlier run gave, so that a number is never given
    // to two jobs (and one of an earlier run reads as done). Before the first job.
    static void continueAfter(int lastJobId);

    Reading readStatus(PrinterStatus *status, QString *error) const override;
    Reading readJob(int jobId, JobStatus *job, QString *error) const override;

protected:
    int send(const QList<QByteArray> &blocks, int dotWidth, const SendOrder::Turn &turn,
        QString *error) const override;

private:
    const QString m_outputDir;
};
