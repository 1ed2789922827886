#include "ptypair.h"

#include "testsupport.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <spawn.h>

extern char **environ;

PtyPair::~PtyPair()
{
    stop();
}

bool PtyPair::start()
{
    if (!m_dir.isValid() || m_pid > 0)
        return false;
    const QByteArray a = "pty,raw,echo=0,link=" + programEnd().toLocal8Bit();
    const QByteArray b = "pty,raw,echo=0,link=" + terminalEnd().toLocal8Bit();
    char *argv[] = { const_cast<char *>("socat"), const_cast<char *>(a.constData()),
        const_cast<char *>(b.constData()), nullptr };
    // socat's own chatter would only clutter the test output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "socat", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    m_pid = pid;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (QFileInfo::exists(programEnd()) && QFileInfo::exists(terminalEnd()))
            return true;
        QThread::msleep(5);
    }
    return false;
}

void PtyPair::stop()
{
    TestSupport::stopPid(m_pid);
    m_pid = 0;
}
