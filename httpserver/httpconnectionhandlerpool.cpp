#include "httpconnectionhandlerpool.h"

#include "httpconnectionhandler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>

HttpConnectionHandlerPool::HttpConnectionHandlerPool(QSettings *settings, HttpRequestHandler *requestHandler)
    : settings(settings)
    , requestHandler(requestHandler)
{
    loadSslConfig();
    cleanupTimer.start(settings->value("cleanupInterval", 1000).toInt());
    connect(&cleanupTimer, &QTimer::timeout, this, &HttpConnectionHandlerPool::cleanup);
}

HttpConnectionHandlerPool::~HttpConnectionHandlerPool()
{
    for (HttpConnectionHandler *handler : qAsConst(pool))
        delete handler;
    delete sslConfiguration;
    qDebug("HttpConnectionHandlerPool (%p): destroyed", static_cast<void *>(this));
}

HttpConnectionHandler *HttpConnectionHandlerPool::getConnectionHandler()
{
    QMutexLocker locker(&mutex);
    for (HttpConnectionHandler *handler : qAsConst(pool)) {
        if (!handler->isBusy()) {
            handler->setBusy();
            return handler;
        }
    }
    if (pool.size() < settings->value("maxThreads", 100).toInt()) {
        auto *handler = new HttpConnectionHandler(settings, requestHandler, sslConfiguration);
        handler->setBusy();
        pool.append(handler);
        return handler;
    }
    return nullptr;
}

void HttpConnectionHandlerPool::cleanup()
{
    const int maxIdleHandlers = settings->value("minThreads", 1).toInt();
    QMutexLocker locker(&mutex);
    int idleCounter = 0;
    for (HttpConnectionHandler *handler : qAsConst(pool)) {
        if (handler->isBusy() || ++idleCounter <= maxIdleHandlers)
            continue;
        delete handler;
        pool.removeOne(handler);
        qDebug("HttpConnectionHandlerPool: Removed connection handler (%p), pool size is now %i",
            static_cast<void *>(handler), int(pool.size()));
        break;
    }
}

void HttpConnectionHandlerPool::loadSslConfig()
{
    QString sslKeyFileName = settings->value("sslKeyFile", "").toString();
    QString sslCertFileName = settings->value("sslCertFile", "").toString();
    if (sslKeyFileName.isEmpty() || sslCertFileName.isEmpty())
        return;

    // Relative paths are taken from the folder of the settings file; resource paths stay as they are.
    const QDir settingsDir = QFileInfo(settings->fileName()).absoluteDir();
    const auto resolve = [&settingsDir](const QString &fileName) {
        if (fileName.startsWith(QLatin1String(":/")) || !QDir::isRelativePath(fileName))
            return fileName;
        return settingsDir.absoluteFilePath(fileName);
    };
    sslKeyFileName = resolve(sslKeyFileName);
    sslCertFileName = resolve(sslCertFileName);

    QFile certFile(sslCertFileName);
    if (!certFile.open(QIODevice::ReadOnly)) {
        qCritical("HttpConnectionHandlerPool: cannot open sslCertFile %s", qPrintable(sslCertFileName));
        tlsFailed = true;
        return;
    }
    const QList<QSslCertificate> certificates = QSslCertificate::fromDevice(&certFile, QSsl::Pem);
    certFile.close();

    QFile keyFile(sslKeyFileName);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        qCritical("HttpConnectionHandlerPool: cannot open sslKeyFile %s", qPrintable(sslKeyFileName));
        tlsFailed = true;
        return;
    }
    // RSA keys, and the elliptic-curve keys the program makes for itself.
    const QByteArray keyPem = keyFile.readAll();
    QSslKey sslKey(keyPem, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey);
    if (sslKey.isNull())
        sslKey = QSslKey(keyPem, QSsl::Ec, QSsl::Pem, QSsl::PrivateKey);
    keyFile.close();
    qDebug(sslKey.isNull() ? "no key" : "has key");

    sslConfiguration = new QSslConfiguration(QSslConfiguration::defaultConfiguration());
    sslConfiguration->setLocalCertificateChain(certificates);
    sslConfiguration->setPrivateKey(sslKey);
    sslConfiguration->setPeerVerifyMode(QSslSocket::VerifyNone);
    sslConfiguration->setProtocol(QSsl::SecureProtocols);
    qDebug("HttpConnectionHandlerPool: SSL settings loaded");
}
