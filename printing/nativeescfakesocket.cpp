#include "nativeescfakesocket.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <cups/cups.h>

namespace {

const char jobTitle[] = "PRN COMMNAD";

} // namespace

NativeESCFakeSocket::NativeESCFakeSocket(QObject *parent)
    : QIODevice(parent)
{ }

void NativeESCFakeSocket::close() { }

qint64 NativeESCFakeSocket::bytesAvailable() const
{
    return 0;
}

qint64 NativeESCFakeSocket::bytesToWrite() const
{
    return m_bytesToWrite;
}

bool NativeESCFakeSocket::connectToDevice(QString printerName)
{
    m_printerName = printerName;
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (int(info.state()) >= int(QPrinter::Aborted))
        return false;
    m_connected = true;
    QIODevice::open(QIODevice::ReadWrite);
    return true;
}

bool NativeESCFakeSocket::startJobRequested()
{
    const QByteArray name = m_printerName.toLocal8Bit();
    const int jobId = cupsCreateJob(CUPS_HTTP_DEFAULT, name.constData(), jobTitle, 0, nullptr);
    if (jobId <= 0)
        return false;
    cupsStartDocument(CUPS_HTTP_DEFAULT, name.constData(), jobId, jobTitle, CUPS_FORMAT_RAW, 1);
    m_jobStarted = true;
    m_refused = false;
    return true;
}

bool NativeESCFakeSocket::endJobRequested()
{
    if (!m_connected || !m_jobStarted)
        return true;
    const ipp_status_t status
        = cupsFinishDocument(CUPS_HTTP_DEFAULT, m_printerName.toLocal8Bit().constData());
    m_jobStarted = false;
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

void NativeESCFakeSocket::disconnectFromDevice() { }

qint64 NativeESCFakeSocket::readData(char *, qint64)
{
    return 0;
}

qint64 NativeESCFakeSocket::writeData(const char *data, qint64 len)
{
    if (!m_connected)
        return len;
    if (m_refused)
        return 0;
    // Without an open document a write request would go out on an idle connection and
    // desynchronise it, so a job that cannot be started drops its data instead.
    if (!m_jobStarted && !startJobRequested()) {
        m_bytesToWrite = qint32(len);
        m_refused = true;
        return 0;
    }
    m_bytesToWrite = qint32(len);
    if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, data, size_t(len)) == HTTP_STATUS_CONTINUE) {
        m_bytesToWrite = 0;
        return len;
    }
    cupsFinishDocument(CUPS_HTTP_DEFAULT, m_printerName.toLocal8Bit().constData());
    m_jobStarted = false;
    m_refused = true;
    return 0;
}
