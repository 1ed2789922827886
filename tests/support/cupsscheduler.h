#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private CUPS scheduler (tests/fixtures/cupsfixture.sh) whose queues write every job's bytes
// unchanged into a file of their own. Stopped by its process id when the object goes.
class CupsScheduler
{
public:
    CupsScheduler() = default;
    ~CupsScheduler() { stop(); }
    CupsScheduler(const CupsScheduler &) = delete;
    CupsScheduler &operator=(const CupsScheduler &) = delete;

    // Starts the scheduler and points this process's libcups at it (CUPS_SERVER, which libcups
    // reads once per thread: start before the first printer lookup). Each backend named (a script
    // of tests/fixtures, or an absolute path) joins the system's backends.
    bool start(const QStringList &backends = {});
    void stop();
    // The scheduler's process, to stop and continue it with signals.
    qint64 pid() const;
    // The value for CUPS_SERVER: the scheduler's socket.
    QString server() const { return m_dir.filePath(QStringLiteral("cups.sock")); }
    // Adds a queue; each job replaces the content of outputFile(name).
    bool addQueue(const QString &name);
    QString outputFile(const QString &name) const { return m_outputs.value(name); }
    bool removeQueue(const QString &name);
    bool removeAllQueues();
    // The scheduler's log of IPP requests, one line each ("Create-Job" for every job opened).
    QString accessLog() const { return m_dir.filePath(QStringLiteral("log/access_log")); }
    // Runs a CUPS client (cupsdisable, cupsreject, lp, ...) against this scheduler.
    bool command(const QString &program, const QStringList &arguments);

private:
    bool fixture(const QStringList &arguments);

    QTemporaryDir m_dir;
    bool m_started = false;
    // Output file of each queue; numbered, since a file: URI must be plain ASCII whatever the name.
    QMap<QString, QString> m_outputs;
};
