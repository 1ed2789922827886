#include "tpaworkernewnote.h"

#include <QSemaphore>
#include <QStringList>

namespace {
QSemaphore readyReadSemaphoreNewnote(1);

// Replies that end the running command: open, close, purchase and refund.
const QStringList terminatingCodes = {
    QStringLiteral("S000"),
    QStringLiteral("S001"),
    QStringLiteral("C000"),
    QStringLiteral("C002"),
};
} // namespace

TpaWorkerNewnote::TpaWorkerNewnote(QSerialPortInfo portInfo, QObject *parent)
    : TpaWorker(portInfo, QString(), parent)
{ }

TpaWorkerNewnote::TpaWorkerNewnote(const QString &portPath, QObject *parent)
    : TpaWorker(QSerialPortInfo(), portPath, parent)
{ }

QByteArray TpaWorkerNewnote::parseStatusMsg(QByteArray message)
{
    // NUL, the framing bytes and the EMV tag bytes that the purchase asks for.
    static const char removed[] = { 0x00, 0x29, char(0x9F), 0x1C, char(0x9A), 0x08, 0x21, 0x06, 0x02, 0x10 };
    for (char c : removed)
        message.replace(QByteArray(1, c), QByteArray());
    return message;
}

QByteArray TpaWorkerNewnote::frameMessage(const QByteArray &message) const
{
    const QByteArray body = message + DLE + ETX;
    return QByteArray(1, DLE) + STX + body + getLRC(body);
}

QByteArray TpaWorkerNewnote::pollMessage() const
{
    return QByteArrayLiteral("M001") + "10" + "PQ";
}

QByteArray TpaWorkerNewnote::statusReplyCode() const
{
    return QByteArrayLiteral("M001");
}

void TpaWorkerNewnote::restartPing(const QString &text)
{
    const QString code = text.left(4);
    if (code == QLatin1String("M001")) {
        markStatusReceived();
        stopTransaction();
    } else if (terminatingCodes.contains(code)) {
        stopTransaction();
    }
}

QSemaphore &TpaWorkerNewnote::readyReadSemaphore() const
{
    return readyReadSemaphoreNewnote;
}
