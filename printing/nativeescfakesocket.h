#pragma once

#include <QIODevice>
#include <QString>

// A write-only device whose every block goes, unchanged and unbuffered, into one raw CUPS job
// on the named queue (default CUPS connection of the calling thread).
class NativeESCFakeSocket : public QIODevice
{
    Q_OBJECT

public:
    explicit NativeESCFakeSocket(QObject *parent = nullptr);

    // Leaves the device open and any CUPS document unfinished: only endJobRequested ends a job.
    void close() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;

    // Fails for a queue in the error or aborted state; makes no CUPS call.
    virtual bool connectToDevice(QString printerName);
    // Creates the CUPS job and its raw document; false when CUPS refuses the job.
    virtual bool startJobRequested();
    // Finishes the CUPS document; false when CUPS did not accept it (libcups buffers writes,
    // so a scheduler lost midway often shows only here).
    virtual bool endJobRequested();
    void disconnectFromDevice();

protected:
    qint64 readData(char *data, qint64 maxlen) override;
    qint64 writeData(const char *data, qint64 len) override;

private:
    QString m_printerName;
    qint32 m_bytesToWrite = 0;
    bool m_connected = false;
    bool m_jobStarted = false;
    // Set once CUPS refused a block: the rest of the job is dropped without further CUPS calls.
    bool m_refused = false;
};
