#include "httpconnectionhandlerpool.h"

#include "httpconnectionhandler.h"
#include "httplog.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslKey>

#ifdef __GLIBC__
#include <malloc.h>
#endif

HttpConnectionHandlerPool::HttpConnectionHandlerPool(
    const HttpServerConfig &config, HttpRequestHandler *requestHandler)
    : config(config)
    , requestHandler(requestHandler)
    , bodyBudget(config.maxBodyBytesInFlight)
    , replyBudget(config.maxReplyBytesQueued)
{
    loadSslConfig();
    cleanupTimer.start(config.cleanupIntervalMs);
    connect(&cleanupTimer, &QTimer::timeout, this, &HttpConnectionHandlerPool::cleanup);
}

HttpConnectionHandlerPool::~HttpConnectionHandlerPool()
{
    qDeleteAll(pool);
    delete tlsConfiguration;
    qCDebug(lcHttp, "pool %p: destroyed", static_cast<void *>(this));
}

HttpConnectionHandler *HttpConnectionHandlerPool::getConnectionHandler()
{
    QMutexLocker locker(&mutex);
    for (HttpConnectionHandler *handler : qAsConst(pool)) {
        if (!handler->isBusy() && !handler->isClaimed()) {
            handler->setBusy();
            return handler;
        }
    }
    if (pool.size() < config.maxThreads) {
        auto *handler
            = new HttpConnectionHandler(config, requestHandler, tlsConfiguration, &bodyBudget, &replyBudget);
        connect(handler, &HttpConnectionHandler::released, this, &HttpConnectionHandlerPool::handlerReleased,
            Qt::DirectConnection);
        handler->setBusy();
        pool.append(handler);
        return handler;
    }
    return nullptr;
}

HttpConnectionHandler *HttpConnectionHandlerPool::reclaimConnectionHandler(
    const QSet<HttpConnectionHandler *> *among)
{
    const qint64 now = HttpConnectionHandler::now();
    QMutexLocker locker(&mutex);
    HttpConnectionHandler *chosen = nullptr;
    int chosenRank = 0;
    qint64 chosenWait = -1;
    for (HttpConnectionHandler *handler : qAsConst(pool)) {
        if (handler->isClaimed() || (among && !among->contains(handler)))
            continue;
        const qint64 waiting = handler->waitingTime(now);
        const bool silent = handler->isSilent();
        // Silent after its handshake, or without even a hello, a peer is idle on purpose; one in
        // the middle of its handshake may just be slow.
        const bool handshaking = handler->isHandshaking();
        const bool idle = silent && (!handshaking || !handler->isHelloHeard());
        // A hello may still be on its way to a busy handler, so only a peer past its handshake
        // gives way at once.
        const qint64 minimum = !silent      ? config.reclaimAfterMs
            : idle && among && !handshaking ? 0
                                            : config.silentReclaimAfterMs;
        if (waiting < 0 || waiting < minimum)
            continue;
        const int rank = idle ? 3 : silent ? 2 : 1;
        if (rank > chosenRank || (rank == chosenRank && waiting > chosenWait)) {
            chosen = handler;
            chosenRank = rank;
            chosenWait = waiting;
        }
    }
    return chosen && chosen->claim() ? chosen : nullptr;
}

QSet<HttpConnectionHandler *> HttpConnectionHandlerPool::handlersOf(const QHostAddress &peer)
{
    QMutexLocker locker(&mutex);
    QSet<HttpConnectionHandler *> found;
    for (HttpConnectionHandler *handler : qAsConst(pool)) {
        if (handler->isBusy() && handler->peerAddress() == peer)
            found.insert(handler);
    }
    return found;
}

void HttpConnectionHandlerPool::cleanup()
{
#ifdef __GLIBC__
    // Connection threads free what they used into arenas of their own, which glibc keeps: hand
    // what a burst of connections left there back to the system.
    malloc_trim(0);
#endif
    const int maxIdleHandlers = config.minThreads;
    QMutexLocker locker(&mutex);
    int idleCounter = 0;
    for (HttpConnectionHandler *handler : qAsConst(pool)) {
        if (handler->isBusy() || handler->isClaimed() || ++idleCounter <= maxIdleHandlers)
            continue;
        delete handler;
        pool.removeOne(handler);
        qCDebug(lcHttp, "pool: removed handler %p, %i left", static_cast<void *>(handler), int(pool.size()));
        break;
    }
}

void HttpConnectionHandlerPool::loadSslConfig()
{
    if (config.sslKeyFile.isEmpty() || config.sslCertFile.isEmpty())
        return;

    const auto readPem = [this](const QString &fileName, const char *what, QByteArray *pem) {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) {
            qCCritical(lcHttp, "cannot open the TLS %s %s", what, qPrintable(fileName));
            tlsFailed = true;
            return false;
        }
        *pem = file.readAll();
        return true;
    };
    QByteArray certPem;
    QByteArray keyPem;
    if (!readPem(config.sslCertFile, "certificate", &certPem) || !readPem(config.sslKeyFile, "key", &keyPem))
        return;
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(certPem, QSsl::Pem);
    // RSA keys, and the elliptic-curve keys the program makes for itself.
    QSslKey sslKey(keyPem, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey);
    if (sslKey.isNull())
        sslKey = QSslKey(keyPem, QSsl::Ec, QSsl::Pem, QSsl::PrivateKey);
    qCDebug(lcHttp, "TLS key %s", sslKey.isNull() ? "unreadable" : "read");

    tlsConfiguration = new QSslConfiguration(QSslConfiguration::defaultConfiguration());
    tlsConfiguration->setLocalCertificateChain(certificates);
    tlsConfiguration->setPrivateKey(sslKey);
    tlsConfiguration->setPeerVerifyMode(QSslSocket::VerifyNone);
    tlsConfiguration->setProtocol(QSsl::SecureProtocols);
    // Only suites with forward secrecy: an ephemeral key exchange in TLS 1.2, all of TLS 1.3.
    QList<QSslCipher> ciphers;
    for (const QSslCipher &cipher : tlsConfiguration->ciphers()) {
        const QString exchange = cipher.keyExchangeMethod();
        if (cipher.protocol() == QSsl::TlsV1_3 || exchange == QLatin1String("ECDH")
            || exchange == QLatin1String("DH"))
            ciphers << cipher;
    }
    tlsConfiguration->setCiphers(ciphers);
    qCDebug(lcHttp, "TLS settings loaded");
}
