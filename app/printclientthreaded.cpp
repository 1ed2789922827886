#include "printclientthreaded.h"

#include "httplistener.h"
#include "printclientrequesthandler.h"
#include "tlsidentity.h"

#include <QNetworkInterface>
#include <QSettings>

PrintClientThreaded::PrintClientThreaded(QObject *parent)
    : QObject(parent)
{
}

QList<QHostAddress> PrintClientThreaded::filterAddresses(const QList<QHostAddress> &addresses)
{
    QList<QHostAddress> kept;
    for (const QHostAddress &address : addresses) {
        if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol)
            kept << address;
    }
    return kept;
}

void PrintClientThreaded::getIPAddresses()
{
    emit onGetAddresses(filterAddresses(QNetworkInterface::allAddresses()));
}

void PrintClientThreaded::getTpas()
{
    emit onGetTpas(SerialPortDescription::availablePorts());
}

void PrintClientThreaded::getServer(bool online, PrintClientRequestHandler *requestHandler)
{
    {
        // The listener's configuration is the program's own: whatever was edited by hand is
        // put back at every start.
        QSettings settings;
        settings.beginGroup(QStringLiteral("listener"));
        // This installation's own key pair, made by the controller before it asks for the listener.
        const TlsIdentity identity;
        settings.setValue(QStringLiteral("sslKeyFile"), identity.keyFile());
        settings.setValue(QStringLiteral("sslCertFile"), identity.certificateFile());
        settings.setValue(QStringLiteral("port"), 5080);
        settings.setValue(QStringLiteral("minThreads"), 4);
        settings.setValue(QStringLiteral("maxThreads"), 20);
        settings.setValue(QStringLiteral("cleanupInterval"), 60000);
        settings.setValue(QStringLiteral("readTimeout"), 60000);
        settings.setValue(QStringLiteral("maxRequestSize"), 4194304);
        settings.setValue(QStringLiteral("maxMultiPartSize"), 10000000);
        settings.endGroup();
        settings.sync();
    }
    auto listenerSettings = new QSettings(this);
    listenerSettings->beginGroup(QStringLiteral("listener"));
    auto listener = new HttpListener(listenerSettings, requestHandler, this);
    if (!online)
        listener->close();
    emit onGetServer(listener);
}
