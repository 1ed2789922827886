#include "tpaworker.h"

#include "replytext.h"
#include "terminalslog.h"

#include <QIODevice>
#include <QMetaObject>
#include <QTimer>

#include <utility>

TpaWorker::TpaWorker(const QString &portPath, const Protocol &protocol, QObject *parent)
    : QObject(parent)
    , protocol(protocol)
    , portPath(portPath)
    , statusTimer(new QTimer(this))
    , transactionTimer(new QTimer(this))
{
    connect(statusTimer, &QTimer::timeout, this, &TpaWorker::loopStatusCheck);
    connect(transactionTimer, &QTimer::timeout, this, &TpaWorker::transactionTimeout);
}

char TpaWorker::getLRC(const QByteArray &data)
{
    char lrc = 0;
    for (char c : data)
        lrc ^= c;
    return lrc;
}

void TpaWorker::startWorker()
{
    serialPort = new QSerialPort(this);
    // By its path: a pseudo-terminal has no serial port information of its own.
    serialPort->setPortName(portPath);
    serialPort->setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setStopBits(QSerialPort::OneStop);
    connect(serialPort, &QIODevice::readyRead, this, &TpaWorker::readyRead);
    reopenTimer = new QTimer(this);
    reopenTimer->setInterval(timings.reopenMs);
    connect(reopenTimer, &QTimer::timeout, this, &TpaWorker::openPort);
    openPort();
}

void TpaWorker::openPort()
{
    // A port lost a moment ago may still wait for its queued close.
    if (serialPort->isOpen())
        serialPort->close();
    if (!serialPort->open(QIODevice::ReadWrite)) {
        // Said once: the port is tried again every second until it opens.
        if (!reopenTimer->isActive()) {
            qCDebug(lcTerminals) << serialPort->portName() << "not open:" << serialPort->error();
            reopenTimer->start();
        }
        reportPortPresent(serialPort->error() != QSerialPort::DeviceNotFoundError);
        return;
    }
    reopenTimer->stop();
    // Whatever the terminal sent before we listened belongs to no frame of ours.
    serialPort->clear(QSerialPort::AllDirections);
    // Listened to only while open: failed attempts to reopen are not errors of a working line.
    connect(serialPort, &QSerialPort::errorOccurred, this, &TpaWorker::errorOccurred);
    reportPortPresent(true);
    begin(serialPort);
}

void TpaWorker::startOnDevice(QIODevice *openDevice)
{
    connect(openDevice, &QIODevice::readyRead, this, &TpaWorker::readyRead);
    begin(openDevice);
}

void TpaWorker::begin(QIODevice *openDevice)
{
    device = openDevice;
    restartStatusTimer(timings.firstPollMs);
    loopStatusCheck();
}

void TpaWorker::restartStatusTimer(int ms)
{
    statusTimer->start(ms);
}

void TpaWorker::startTransaction(bool command)
{
    if (command) {
        transactionTimer->setInterval(timings.transactionTimeoutMs);
        setIsInTransaction(true);
    } else {
        transactionTimer->setInterval(timings.pollReplyTimeoutMs);
        if (protocol.pollHoldsCommands)
            statusPending = true;
    }
    transactionTimer->start();
}

void TpaWorker::loopStatusCheck()
{
    if (!device)
        return;
    if (pendingCommand.isEmpty()) {
        if (inTransaction)
            return;
        restartStatusTimer(timings.pollMs);
        startTransaction(false);
        sendMessage(protocol.pollMessage);
        return;
    }
    startTransaction(true);
    sendMessage(std::exchange(pendingCommand, QByteArray()));
}

void TpaWorker::setNewCommand(QByteArray newCommand)
{
    if (!device) {
        refuseForClosedPort(ReplyText::operationTimeout());
        return;
    }
    if (inTransaction || !pendingCommand.isEmpty()) {
        emit transactionStatusReported(ReplyText::commandRefused());
        return;
    }
    pendingCommand = newCommand;
    emit transactionStatusReported(ReplyText::commandAdded());
    if (!statusPending)
        loopStatusCheck();
}

void TpaWorker::sendMessage(const QByteArray &message)
{
    retries = 0;
    sendMessagePrivate(message);
}

void TpaWorker::sendMessagePrivate(const QByteArray &message)
{
    lastMessage = message;
    const QByteArray body = message + protocol.frameEnd;
    writeToDevice(protocol.frameStart + body + getLRC(body));
}

void TpaWorker::writeToDevice(const QByteArray &bytes)
{
    if (device)
        device->write(bytes);
}

void TpaWorker::errorOccurred(QSerialPort::SerialPortError error)
{
    qCDebug(lcTerminals) << serialPort->portName() << "error:" << error;
    switch (error) {
    case QSerialPort::TimeoutError:
        if (retries <= 2) {
            ++retries;
            sendMessagePrivate(lastMessage);
        } else {
            // Reported before the end of the command: once it has ended, the terminal
            // record no longer knows whom the result belongs to.
            transactionTimeout();
        }
        break;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // The device is gone (unplugged, or the far end of a pty closed); its descriptor
        // would report the same error again on every turn of the event loop.
        if (device == serialPort)
            portLost();
        break;
    default:
        break;
    }
}

void TpaWorker::portLost()
{
    qCDebug(lcTerminals) << serialPort->portName() << "lost";
    device = nullptr;
    disconnect(serialPort, &QSerialPort::errorOccurred, this, &TpaWorker::errorOccurred);
    // Closed once the port has finished emitting the error that brought us here, unless it has
    // been opened again by then.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!device)
                serialPort->close();
        },
        Qt::QueuedConnection);
    statusTimer->stop();
    transactionTimer->stop();
    statusPending = false;
    inFrame = false;
    awaitingLrc = false;
    rxBuffer.clear();
    // A command sent may have been carried out; one still waiting here was not.
    if (inTransaction)
        refuseForClosedPort(ReplyText::outcomeUnknown());
    else if (!pendingCommand.isEmpty())
        refuseForClosedPort(ReplyText::operationTimeout());
    emit statusReported(ReplyText::operationTimeout());
    reportAnswering(false);
    reportPortPresent(false);
    reopenTimer->start();
}

void TpaWorker::refuseForClosedPort(const QString &outcome)
{
    // The terminal record marked itself busy when it built the command: give it an outcome
    // and an end, so the caller is never left waiting on a port that cannot carry it.
    pendingCommand.clear();
    if (!inTransaction)
        setIsInTransaction(true);
    emit transactionStatusReported(outcome);
    setIsInTransaction(false);
}

void TpaWorker::transactionTimeout()
{
    if (inTransaction) {
        emit transactionStatusReported(ReplyText::operationTimeout());
    } else {
        statusPending = false;
        emit statusReported(ReplyText::operationTimeout());
        reportAnswering(false);
    }
    stopTransaction();
}

void TpaWorker::stopTransaction()
{
    transactionTimer->stop();
    if (inTransaction) {
        setIsInTransaction(false);
        restartStatusTimer(timings.pollAfterCommandMs);
    }
}

void TpaWorker::refreshTransaction()
{
    // Only a running command has a time-out to extend; arming it while idle would report a
    // status time-out for a terminal that has just spoken.
    if (inTransaction)
        transactionTimer->start();
}

void TpaWorker::setIsInTransaction(bool flag)
{
    inTransaction = flag;
    emit inTransactionChanged(flag);
}

void TpaWorker::readyRead()
{
    if (device)
        receiveBytes(device->readAll());
}

void TpaWorker::receiveBytes(const QByteArray &bytes)
{
    for (char c : bytes) {
        if (awaitingLrc) {
            awaitingLrc = false;
            const QByteArray message = std::exchange(rxBuffer, QByteArray());
            if (getLRC(message + ETX) == c) {
                writeToDevice(QByteArray(1, ACK));
                handleMessage(message);
            } else {
                writeToDevice(QByteArray(1, NAK));
            }
        } else if (c == ETX) {
            inFrame = false;
            awaitingLrc = true;
        } else if (c == STX && !inFrame) {
            inFrame = true;
            rxBuffer.clear();
        } else if (inFrame) {
            rxBuffer.append(c);
        }
    }
}

void TpaWorker::handleMessage(const QByteArray &message)
{
    QByteArray cleaned = cleanMessage(message);
    const int nul = cleaned.indexOf('\0');
    if (nul >= 0)
        cleaned.truncate(nul);
    const QString text = QString::fromLatin1(cleaned);
    if (message.left(4) != protocol.statusReplyCode) {
        refreshTransaction();
        emit transactionStatusReported(text);
    } else {
        // The poll is answered: its reply time-out must not report the terminal silent.
        if (!inTransaction)
            transactionTimer->stop();
        emit statusReported(text);
        reportAnswering(true);
    }
    reactToMessage(text);
}

void TpaWorker::reportPortPresent(bool present)
{
    if (present != portPresent) {
        portPresent = present;
        emit portPresentChanged(present);
    }
}

void TpaWorker::reportAnswering(bool now)
{
    if (now != answering) {
        answering = now;
        emit answeringChanged(now);
    }
}
