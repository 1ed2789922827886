#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private CUPS scheduler (tests/fixtures/cupsfixture.sh) with queues whose output goes to
// files in its directory (queue1.out, queue2.out, ... in the order added). libcups reads CUPS_SERVER once per
// thread, so start() sets it and must come before the first printer lookup of the process.
class CupsScheduler
{
public:
    CupsScheduler() = default;
    ~CupsScheduler();
    CupsScheduler(const CupsScheduler &) = delete;
    CupsScheduler &operator=(const CupsScheduler &) = delete;

    bool start();
    void stop();
    QString socketPath() const;

    bool addQueue(const QString &name);
    bool removeQueue(const QString &name);
    // A disabled queue reports the error state; enabling it makes it idle again.
    bool setQueueEnabled(const QString &name, bool enabled);
    // Removes every queue added since the start.
    bool removeAllQueues();

private:
    QTemporaryDir m_dir;
    QStringList m_queues;
    int m_outputs = 0;
    bool m_running = false;
};
