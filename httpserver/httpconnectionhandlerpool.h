#pragma once

#include "httpserverconfig.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QTimer>

class HttpConnectionHandler;
class HttpRequestHandler;
class QSslConfiguration;

// Hands out idle connection handlers, creating them on demand up to maxThreads, removes idle
// ones beyond minThreads one per cleanupIntervalMs, and holds the TLS configuration they share.
class HttpConnectionHandlerPool : public QObject
{
    Q_OBJECT
public:
    HttpConnectionHandlerPool(const HttpServerConfig &config, HttpRequestHandler *requestHandler);
    ~HttpConnectionHandlerPool() override;

    // The handler comes back marked busy; null when all maxThreads handlers are busy.
    HttpConnectionHandler *getConnectionHandler();
    // When every handler is busy: the one whose connection has waited longest on its peer, at
    // least reclaimAfterMs, claimed for HttpConnectionHandler::takeOver;
    // null when every connection is being served or is younger than that.
    HttpConnectionHandler *reclaimConnectionHandler();
    // Null when TLS is off.
    const QSslConfiguration *sslConfiguration() const { return tlsConfiguration; }

    // True when a key and certificate were set but could not be read: such a server must not
    // listen at all rather than fall back to plain HTTP where its clients expect TLS.
    bool tlsUnavailable() const { return tlsFailed; }

signals:
    // A handler has become free. Emitted on that handler's thread.
    void handlerReleased();

public slots:
    void cleanup();

private:
    void loadSslConfig();

    const HttpServerConfig config;
    HttpRequestHandler *requestHandler;
    // Guarded by mutex.
    QList<HttpConnectionHandler *> pool;
    QTimer cleanupTimer;
    QMutex mutex;
    QSslConfiguration *tlsConfiguration = nullptr;
    bool tlsFailed = false;
};
