#include "memorysocket.h"

bool MemorySocket::connectToDevice(QString name)
{
    printerName = name;
    if (refuseConnect)
        return false;
    return QIODevice::open(QIODevice::WriteOnly);
}

bool MemorySocket::startJobRequested()
{
    if (refuseStart)
        return false;
    ++starts;
    return true;
}

bool MemorySocket::endJobRequested()
{
    ++ends;
    return !refuseEnd;
}

qint64 MemorySocket::writeData(const char *data, qint64 len)
{
    if (acceptBytes >= 0 && written.size() + len > acceptBytes)
        return 0;
    written.append(data, int(len));
    return len;
}
