#pragma once

#include "httprequesthandler.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>

class ApiBackend;

// The JSON API: origin policy, key check, routing and the endpoint operations. One object
// serves every connection thread at once; a print job waits only for the jobs sent to the same
// printer before it.
class PrintClientRequestHandler : public HttpRequestHandler
{
    Q_OBJECT

public:
    explicit PrintClientRequestHandler(QObject *parent = nullptr);

    void setPrintClient(ApiBackend *client);
    void service(HttpRequest &request, HttpResponse &response) override;
    void root(HttpRequest &request, HttpResponse &response);

    // The value of "Access-Control-Allow-Origin" for a request's "Origin".
    static QByteArray allowedOrigin(const QByteArray &origin);
    // The key carried by an "Authorization" value, or empty.
    static QString bearerKey(const QString &authorization);

    void getPrinters(QJsonObject &result);
    void getPrinterStatus(QJsonObject &result, QString printer);
    void sendJob(QJsonObject &result, QString printer, QJsonArray job);
    void sendJob(QJsonObject &result, QString printer, QString job);
    // data is the job's state; reasons are the job's, printerReasons the queue's.
    void getJobStatus(QJsonObject &result, QString printer, int jobId);
    // The job drawn as the paper would look: data is a PNG in Base64, width and height in dots.
    void previewJob(QJsonObject &result, QString printer, QJsonArray job);
    void previewJob(QJsonObject &result, QString printer, QString job);
    void getStatus(QJsonObject &result, bool withNotifications);
    void setNotificationOrder(QJsonObject &result, QJsonObject notification);
    void getTpas(QJsonObject &result);
    void getTpaStatus(QJsonObject &result, QString port, QString terminalId);
    void getTpaTransactionStatus(QJsonObject &result, QString port, QString terminalId);
    void clearTpaTransactionStatus(QJsonObject &result, QString port, QString terminalId);
    void sendTpaOpen(QJsonObject &result, QString port, QString terminalId);
    void sendTpaClose(QJsonObject &result, QString port, QString terminalId);
    void sendTpaPurchase(QJsonObject &result, QString port, QString terminalId, QString amount);
    void sendTpaRefund(QJsonObject &result, QString port, QString terminalId, QString tpaId, QString dateTime,
        QString amount);
    void sendTpaOpenMenu(QJsonObject &result, QString port, QString terminalId);
    void sendTpaReprintLastReceipt(QJsonObject &result, QString port, QString terminalId);

private:
    ApiBackend *m_printClient = nullptr;
    // Makes a terminal's check for a transaction under way and the command that starts one a
    // single step.
    QMutex m_mutex;
};
