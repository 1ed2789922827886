#pragma once

#include "httprequesthandler.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>

class ApiBackend;

// The JSON API: origin policy, key check, routing and the endpoint operations. One object
// serves every connection thread; its mutex makes the API handle one request at a time.
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
    QMutex m_mutex;
};
