#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class CupsConnection;

// One raw job on a CUPS queue, over a connection of its own whose every call is bounded in time:
// opened on a queue that is ready, given its bytes unchanged, finished. Once CUPS refused
// anything, the rest of the job is dropped without further calls and the job has failed.
class CupsRawJob
{
public:
    explicit CupsRawJob(const QString &queue);
    ~CupsRawJob();
    CupsRawJob(const CupsRawJob &) = delete;
    CupsRawJob &operator=(const CupsRawJob &) = delete;

    // Fails for a queue that is stopped or missing, a scheduler that does not answer, and a job
    // CUPS refuses to create.
    bool open();
    bool write(const QByteArray &bytes);
    // Finishes the document; false when CUPS refused any of it (libcups buffers writes, so a
    // scheduler lost midway often shows only here).
    bool finish();
    // The CUPS job once created, else 0.
    int id() const { return m_id; }
    // Why the job failed; empty when CUPS refused without a reason of its own.
    QString failure() const { return m_failure; }

private:
    // Keeps the reason the job failed: the scheduler's silence, or its refusal.
    bool fail(const QString &refusal);

    const std::unique_ptr<CupsConnection> m_cups;
    const QString m_queue;
    QString m_failure;
    int m_id = 0;
    bool m_open = false;
    bool m_failed = false;
};
