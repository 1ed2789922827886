#pragma once

#include <QJsonObject>
#include <QList>
#include <QSharedPointer>
#include <QString>

#include <functional>

class ApiBackend;
class ApiRequest;
class Printer;

// The printer routes of the API, each filling the reply object: the enabled printers, a
// printer's state, a job printed or drawn, a job's state. The caller has found the printer.
class PrinterRoutes
{
public:
    // The enabled printer called `name`, or null.
    static QSharedPointer<Printer> find(const QList<QSharedPointer<Printer>> &printers, const QString &name);

    static void getPrinters(ApiBackend &client, QJsonObject &result);
    static void getPrinterStatus(Printer &printer, QJsonObject &result);
    static void sendJob(ApiBackend &client, Printer &printer, const ApiRequest &request, QJsonObject &result);
    // data is the job's state (from the journal for a job the scheduler has let go of); reasons
    // are the job's, printerReasons the queue's.
    static void getJobStatus(
        ApiBackend &client, Printer &printer, const ApiRequest &request, QJsonObject &result);
    // The job drawn as the paper would look: data is a PNG in Base64, width and height in dots.
    // The drawing stops once callerGone says the caller left.
    static void previewJob(ApiBackend &client, const ApiRequest &request, QJsonObject &result,
        const std::function<bool()> &callerGone = {});
};
