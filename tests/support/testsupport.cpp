#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <sys/wait.h>

namespace TestSupport {

void useTemporarySettings(const QTemporaryDir &dir)
{
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Tesmar"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tesmar.pt"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
}

quint16 apiPort()
{
    static const quint16 port = [] {
        // Free on every address, as the program listens on all of them.
        QTcpServer probe;
        const quint16 chosen = probe.listen(QHostAddress::Any) ? probe.serverPort() : 0;
        qputenv("VARNEL_PORT", QByteArray::number(chosen));
        return chosen;
    }();
    return port;
}

QString fixture(const QString &name)
{
    return QStringLiteral(VARNEL_FIXTURES_DIR) + QLatin1Char('/') + name;
}

QByteArray run(const QString &program, const QStringList &arguments, int timeoutMs, int *exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        qFatal("%s did not finish in time", qPrintable(program));
    }
    if (exitCode)
        *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

void stopPid(qint64 pid, int timeoutMs)
{
    if (pid <= 0)
        return;
    ::kill(pid_t(pid), SIGTERM);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        // Reaps our own children; for others, signal 0 tells whether the process is gone.
        if (::waitpid(pid_t(pid), nullptr, WNOHANG) == pid_t(pid) || ::kill(pid_t(pid), 0) != 0)
            return;
        QThread::msleep(10);
    }
    ::kill(pid_t(pid), SIGKILL);
    ::waitpid(pid_t(pid), nullptr, 0);
}

} // namespace TestSupport
