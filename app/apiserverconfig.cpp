#include "apiserverconfig.h"

#include "applog.h"
#include "tlsidentity.h"

#include <QSettings>

HttpServerConfig ApiServerConfig::make()
{
    HttpServerConfig config;
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
            qCWarning(lcApp, "VARNEL_LISTEN_ADDRESSES: \"%s\" is not an address", qPrintable(text));
    }
    if (!chosen.isEmpty())
        config.addresses = chosen;
    const TlsIdentity identity;
    config.sslKeyFile = identity.keyFile();
    config.sslCertFile = identity.certificateFile();

    // Whatever was edited by hand there is put back, and never read.
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
    return config;
}
