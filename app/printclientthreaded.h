#pragma once

#include "serialportdescription.h"

#include <QHostAddress>
#include <QList>
#include <QObject>

class HttpListener;
class PrintClientRequestHandler;

// Enumerates addresses and serial ports and builds the API's listener, each on request from the
// controller, answering with one signal. It stays on the controller's thread, so each request is
// served synchronously inside the controller's emission. The print queues are read by a
// QueuePoller on a thread of its own instead, since the scheduler may be slow to answer.
class PrintClientThreaded : public QObject
{
    Q_OBJECT

public:
    explicit PrintClientThreaded(QObject *parent = nullptr);

    // IPv4 addresses that are not loopback, in the order given.
    static QList<QHostAddress> filterAddresses(const QList<QHostAddress> &addresses);

signals:
    void onGetAddresses(const QList<QHostAddress> &addresses);
    void onGetTpas(const QList<SerialPortDescription> &tpas);
    void onGetServer(HttpListener *server);

public slots:
    void getIPAddresses();
    void getTpas();
    void getServer(bool online, PrintClientRequestHandler *requestHandler);
};
