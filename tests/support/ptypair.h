#pragma once

#include <QString>
#include <QTemporaryDir>

// A pseudo-terminal pair made by socat: what one end writes, the other reads. Both ends are
// links in a private temporary folder; socat is our own child, stopped by its process id.
class PtyPair
{
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Starts socat and waits until both ends exist.
    bool start();
    // Stops socat: both ends disappear, as when a device is unplugged.
    void stop();

    QString programEnd() const { return m_dir.filePath(QStringLiteral("ttyA")); }
    QString terminalEnd() const { return m_dir.filePath(QStringLiteral("ttyB")); }
    qint64 pid() const { return m_pid; }

private:
    QTemporaryDir m_dir;
    qint64 m_pid = 0;
};
