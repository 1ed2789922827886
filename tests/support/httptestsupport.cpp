#include "httptestsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

namespace HttpTestSupport {

QString testKeyFile()
{
    return QStringLiteral(VARNEL_SOURCE_DIR "/tests/httpserver/test.key");
}

QString testCertFile()
{
    return QStringLiteral(VARNEL_SOURCE_DIR "/tests/httpserver/test.cert");
}

std::unique_ptr<QSettings> createSettings(const QTemporaryDir &dir, bool tls, const QVariantMap &values)
{
    auto settings
        = std::make_unique<QSettings>(dir.filePath(QStringLiteral("server.ini")), QSettings::IniFormat);
    settings->clear();
    settings->setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    settings->setValue(QStringLiteral("port"), 0);
    if (tls) {
        settings->setValue(QStringLiteral("sslKeyFile"), testKeyFile());
        settings->setValue(QStringLiteral("sslCertFile"), testCertFile());
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings->setValue(it.key(), it.value());
    settings->sync();
    return settings;
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Wakes the loop now and then when no socket event arrives.
    QTimer wake;
    wake.start(5);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace HttpTestSupport
