#include "xvfbdisplay.h"

#include <csignal>
#include <sys/types.h>

// setpriv runs the command in its own place (same process id) with a parent-death signal, so a
// test that dies does not leave it behind. The X server does not act on that signal, so it is
// also told to end once its last client has gone.
static QStringList diesWithTest(const QStringList &command)
{
    return QStringList { QStringLiteral("--pdeathsig"), QStringLiteral("TERM"), QStringLiteral("--") }
    + command;
}

XvfbDisplay::~XvfbDisplay()
{
    stop();
}

bool XvfbDisplay::start(const QString &geometry)
{
    // -displayfd makes the server choose a free display and print its number once it is ready.
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(QStringLiteral("setpriv"),
        diesWithTest({ QStringLiteral("Xvfb"), QStringLiteral("-displayfd"), QStringLiteral("1"),
            QStringLiteral("-screen"), QStringLiteral("0"), geometry, QStringLiteral("-nolisten"),
            QStringLiteral("tcp"), QStringLiteral("-terminate") }));
    if (!m_server.waitForStarted(5000))
        return false;
    QByteArray out;
    while (!out.contains('\n')) {
        if (!m_server.waitForReadyRead(10000))
            return false;
        out += m_server.readAllStandardOutput();
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ok)
        return false;
    m_name = QLatin1Char(':') + QString::number(number);
    return true;
}

bool XvfbDisplay::startTray()
{
    if (m_name.isEmpty())
        return false;
    m_tray.start(QStringLiteral("setpriv"),
        diesWithTest({ QStringLiteral("wmdocker"), QStringLiteral("-display"), m_name }));
    return m_tray.waitForStarted(5000);
}

void XvfbDisplay::stop()
{
    stopProcess(m_tray);
    stopProcess(m_server);
    m_name.clear();
}

void XvfbDisplay::stopProcess(QProcess &process)
{
    const qint64 pid = process.processId();
    if (pid <= 0 || process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(pid), SIGTERM);
    if (!process.waitForFinished(5000)) {
        ::kill(pid_t(pid), SIGKILL);
        process.waitForFinished(5000);
    }
}
