#pragma once

#include "nativeescfakesocket.h"

#include <QByteArray>
#include <QString>

// A printer device that keeps in memory what a job writes, and can be told to refuse the job
// at any stage, so print jobs can be checked byte by byte without a CUPS scheduler.
class MemorySocket : public NativeESCFakeSocket
{
public:
    using NativeESCFakeSocket::NativeESCFakeSocket;

    bool connectToDevice(QString printerName) override;
    bool startJobRequested() override;
    bool endJobRequested() override;

    QByteArray written;
    QString printerName;
    bool refuseConnect = false;
    bool refuseStart = false;
    bool refuseEnd = false;
    // Writes are refused once this many bytes were accepted; negative: never.
    qint64 acceptBytes = -1;
    int starts = 0;
    int ends = 0;

protected:
    qint64 writeData(const char *data, qint64 len) override;
};
