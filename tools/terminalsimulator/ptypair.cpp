#include "ptypair.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

PtyPair::PtyPair(const QString &dir)
    : m_dir(QDir(dir.isEmpty() ? m_temporary.path() : dir).absolutePath())
{
    // socat's own chatter would only clutter the output.
    m_socat.setStandardOutputFile(QProcess::nullDevice());
    m_socat.setStandardErrorFile(QProcess::nullDevice());
}

PtyPair::~PtyPair()
{
    stop();
}

bool PtyPair::start()
{
    QDir().mkpath(m_dir);
    m_socat.start(QStringLiteral("socat"),
        { QStringLiteral("pty,raw,echo=0,link=") + terminalEnd(),
            QStringLiteral("pty,raw,echo=0,link=") + programEnd() });
    if (!m_socat.waitForStarted())
        return false;
    const QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(programEnd()) || !QFileInfo::exists(terminalEnd())) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
    return true;
}

void PtyPair::stop()
{
    if (m_socat.state() == QProcess::NotRunning)
        return;
    m_socat.terminate();
    if (!m_socat.waitForFinished(5000)) {
        m_socat.kill();
        m_socat.waitForFinished();
    }
}
