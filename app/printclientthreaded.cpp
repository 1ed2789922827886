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
    HttpServerConfig config;
    // Tests run several programs at once, each on a port of its own (0: any free one).
    bool given = false;
    const int port = qEnvironmentVariableIntValue("VARNEL_PORT", &given);
    if (given && port >= 0 && port < 65536)
        config.port = quint16(port);
    // Loopback only, unless the shop asks for more: the certificate vouches for nothing else, and
    // every other address shows the network what only this computer's browser needs.
    const QStringList addresses
        = qEnvironmentVariable("VARNEL_LISTEN_ADDRESSES").split(QLatin1Char(','), Qt::SkipEmptyParts);
    QList<QHostAddress> chosen;
    for (const QString &text : addresses) {
        const QHostAddress address(text.trimmed());
        if (text.trimmed() == QLatin1String("any"))
            chosen << QHostAddress(QHostAddress::Any);
        else if (!address.isNull())
            chosen << address;
        else
            qWarning(
                "PrintClientThreaded: VARNEL_LISTEN_ADDRESSES: \"%s\" is not an address", qPrintable(text));
    }
    if (!chosen.isEmpty())
        config.addresses = chosen;
    // This installation's own key pair, made by the controller before it asks for the listener.
    const TlsIdentity identity;
    config.sslKeyFile = identity.keyFile();
    config.sslCertFile = identity.certificateFile();
    {
        // For support, the listener's configuration where the user's settings are: whatever was
        // edited by hand there is put back at every start, and never read.
        QSettings settings;
        settings.beginGroup(QStringLiteral("listener"));
        settings.setValue(QStringLiteral("sslKeyFile"), config.sslKeyFile);
        settings.setValue(QStringLiteral("sslCertFile"), config.sslCertFile);
        settings.setValue(QStringLiteral("port"), config.port);
        settings.setValue(QStringLiteral("minThreads"), config.minThreads);
        settings.setValue(QStringLiteral("maxThreads"), config.maxThreads);
        settings.setValue(QStringLiteral("cleanupInterval"), config.cleanupIntervalMs);
        settings.setValue(QStringLiteral("readTimeout"), config.readTimeoutMs);
        settings.setValue(QStringLiteral("maxRequestSize"), config.maxRequestSize);
        settings.setValue(QStringLiteral("maxMultiPartSize"), config.maxMultiPartSize);
        settings.endGroup();
        settings.sync();
    }
    auto listener = new HttpListener(config, requestHandler, this);
    if (!online)
        listener->close();
    emit onGetServer(listener);
}
