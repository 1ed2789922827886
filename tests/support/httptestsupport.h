#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class QSettings;
class QTemporaryDir;

// Helpers for the HTTP server tests: settings for a listener on 127.0.0.1, the test key pair,
// and waiting while the event loop (and with it a listener on this thread) keeps running.
namespace HttpTestSupport {

// The throw-away key pair committed for the tests.
QString testKeyFile();
QString testCertFile();

// An INI file in dir (replacing an earlier one) holding "host" 127.0.0.1, "port" 0, the test key pair when
// tls is set, then values (which may override those). The QSettings reads that file.
std::unique_ptr<QSettings> createSettings(
    const QTemporaryDir &dir, bool tls, const QVariantMap &values = QVariantMap());

// Runs the event loop until condition holds; false once timeoutMs have passed without it.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);

} // namespace HttpTestSupport
