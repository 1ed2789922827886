#include "nativeescfakesocket.h"

#include "cupsconnection.h"
#include "replytext.h"

namespace {

const QString jobTitle = QStringLiteral("PRN COMMNAD");

} // namespace

NativeESCFakeSocket::NativeESCFakeSocket(QObject *parent)
    : QIODevice(parent)
{
}

NativeESCFakeSocket::~NativeESCFakeSocket() = default;

void NativeESCFakeSocket::close() { }

qint64 NativeESCFakeSocket::bytesAvailable() const
{
    return 0;
}

qint64 NativeESCFakeSocket::bytesToWrite() const
{
    return m_bytesToWrite;
}

bool NativeESCFakeSocket::failed(const QString &refusal)
{
    m_failure = m_cups && !m_cups->answering() ? ReplyText::cupsNotAnswering() : refusal;
    return false;
}

bool NativeESCFakeSocket::connectToDevice(QString printerName)
{
    m_printerName = printerName;
    m_cups = std::make_unique<CupsConnection>();
    PrinterStatus status;
    bool found = false;
    if (!m_cups->queue(printerName, &status, &found) || !found || !status.ready())
        return failed(ReplyText::printerNotReady());
    m_connected = true;
    QIODevice::open(QIODevice::ReadWrite);
    return true;
}

bool NativeESCFakeSocket::startJobRequested()
{
    if (!m_cups)
        return false;
    const int jobId = m_cups->createJob(m_printerName, jobTitle);
    if (jobId <= 0)
        return failed(QString());
    m_cups->startDocument(m_printerName, jobId, jobTitle);
    m_jobId = jobId;
    m_jobStarted = true;
    m_refused = false;
    return true;
}

bool NativeESCFakeSocket::endJobRequested()
{
    if (!m_connected || !m_jobStarted)
        return true;
    m_jobStarted = false;
    return m_cups->finishDocument() || failed(QString());
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
    if (m_cups->write(data, size_t(len))) {
        m_bytesToWrite = 0;
        return len;
    }
    failed(QString());
    m_cups->finishDocument();
    m_jobStarted = false;
    m_refused = true;
    return 0;
}
