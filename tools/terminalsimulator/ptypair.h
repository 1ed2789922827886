#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A pseudo-terminal pair made by socat: what one end writes, the other reads. Both ends are links
// in a folder, by default a private temporary one; socat is our own child, stopped by its process id.
class PtyPair
{
public:
    explicit PtyPair(const QString &dir = QString());
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Starts socat and waits until both ends exist.
    bool start();
    // Stops socat: both ends disappear, as when a device is unplugged.
    void stop();

    QString programEnd() const { return m_dir + QStringLiteral("/varnel"); }
    QString terminalEnd() const { return m_dir + QStringLiteral("/terminal"); }

private:
    QTemporaryDir m_temporary;
    QString m_dir;
    QProcess m_socat;
};
