#pragma once

#include "httpbudget.h"
#include "httpserverconfig.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
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
    // When every handler is busy: one whose connection waits on its peer, claimed for
    // HttpConnectionHandler::takeOver. Connections that have not sent a whole head for
    // silentReclaimAfterMs go first, the longest silent first; then those that have waited
    // reclaimAfterMs after a reply, the longest first; among silent ones, those past their TLS
    // handshake, or whose peer never sent its hello, first. Null when there is none. Given `among`
    // (the connections of one peer), only those, and silent ones past their handshake at any age.
    HttpConnectionHandler *reclaimConnectionHandler(const QSet<HttpConnectionHandler *> *among = nullptr);
    // The busy handlers serving a connection of `peer`.
    QSet<HttpConnectionHandler *> handlersOf(const QHostAddress &peer);
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
    // Shared by the handlers, which they outlive.
    HttpBudget bodyBudget;
    HttpBudget replyBudget;
    bool tlsFailed = false;
};
