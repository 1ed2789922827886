#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// Everything the HTTP server is told: where it listens, its TLS key pair, its pool of handler
// threads and the limits of what one connection may cost. The server reads nothing else; these
// defaults are the program's values.
struct HttpServerConfig
{
    // Listening, on each of these addresses: by default the loopback ones only, as the
    // certificate vouches for nothing else. Port 0 lets the system choose (HttpListener::serverPort()
    // tells which; every address then gets that one).
    QList<QHostAddress> addresses { QHostAddress(QHostAddress::LocalHost),
        QHostAddress(QHostAddress::LocalHostIPv6) };
    quint16 port = 5080;
    // PEM files (or resources); TLS is off when either is empty, and a server whose files cannot
    // be read does not listen at all rather than speak plain HTTP where TLS is expected.
    QString sslKeyFile;
    QString sslCertFile;

    // Handler threads, one connection each: at most maxThreads, idle ones beyond minThreads
    // ended one per cleanupIntervalMs.
    int minThreads = 4;
    int maxThreads = 20;
    int cleanupIntervalMs = 60000;
    // A connection that has waited on its peer this long may be taken back for a new one; a new
    // connection waits this long for a handler before it is answered 503.
    qint64 reclaimAfterMs = 2000;
    qint64 maxQueueWaitMs = 3000;
    // While no handler is free, a connection that has not yet sent a whole request head may be
    // taken back this soon, the one silent longest first; connections waiting for a handler that
    // have sent something go first. One peer address holds at most maxConnectionsPerPeer
    // connections (served or waiting); beyond, its longest-silent one gives way, else the new one
    // is answered 503.
    qint64 silentReclaimAfterMs = 500;
    int maxConnectionsPerPeer = 32;

    // Time limits: silence on a connection (and a reply not taken); the head (with the TLS
    // handshake) must arrive within headTimeoutMs, the body within headTimeoutMs plus one second
    // per minBodyRate bytes announced.
    int readTimeoutMs = 60000;
    int headTimeoutMs = 10000;
    int minBodyRate = 65536;

    // Size limits of one request; beyond any of them it is answered 413. maxRequestSize bounds the
    // request line, headers and a plain body, maxMultiPartSize a multipart body.
    int maxRequestSize = 4194304;
    int maxMultiPartSize = 10000000;
    int maxHeaderLines = 100;
    int maxParameters = 1000;
    int maxMultiPartParts = 100;
    int maxUploadedFiles = 10;

    // Memory across all connections: bodies over smallBodySize, from their head until their
    // reply has been written, hold at most maxBodyBytesInFlight (as announced); a request whose
    // body does not fit is answered 503 and its body read and thrown away. Replies waiting on
    // peers that do not take them hold at most maxReplyBytesQueued; beyond it a connection whose
    // peer has taken nothing for stalledReplyMs is dropped.
    qint64 maxBodyBytesInFlight = 8 << 20;
    int smallBodySize = 65536;
    qint64 maxReplyBytesQueued = 64 << 20;
    int stalledReplyMs = 2000;
};
