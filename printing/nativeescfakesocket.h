#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

class CupsConnection;

// A write-only device whose every block goes, unchanged and unbuffered, into one raw CUPS job
// on the named queue, over a connection of its own whose every call is bounded in time.
class NativeESCFakeSocket : public QIODevice
{
    Q_OBJECT

public:
    explicit NativeESCFakeSocket(QObject *parent = nullptr);
    ~NativeESCFakeSocket() override;

    // Leaves the device open and any CUPS document unfinished: only endJobRequested ends a job.
    void close() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;

    // Fails, with failure() saying why, for a queue that is stopped or missing and for a
    // scheduler that does not answer.
    virtual bool connectToDevice(QString printerName);
    // Creates the CUPS job and its raw document; false when CUPS refuses the job.
    virtual bool startJobRequested();
    // Finishes the CUPS document; false when CUPS did not accept it (libcups buffers writes,
    // so a scheduler lost midway often shows only here).
    virtual bool endJobRequested();
    void disconnectFromDevice();
    // The CUPS job once created, else 0.
    int jobId() const { return m_jobId; }
    // Why the last call failed; empty when CUPS refused without a reason of its own.
    QString failure() const { return m_failure; }

protected:
    qint64 readData(char *data, qint64 maxlen) override;
    qint64 writeData(const char *data, qint64 len) override;

private:
    // Keeps the reason a call failed: the scheduler's silence, or its refusal.
    bool failed(const QString &refusal);

    std::unique_ptr<CupsConnection> m_cups;
    QString m_printerName;
    QString m_failure;
    qint32 m_bytesToWrite = 0;
    int m_jobId = 0;
    bool m_connected = false;
    bool m_jobStarted = false;
    // Set once CUPS refused a block: the rest of the job is dropped without further CUPS calls.
    bool m_refused = false;
};
