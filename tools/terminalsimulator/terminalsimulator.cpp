#include "terminalsimulator.h"

#include <QSerialPort>
#include <QTimer>

#include <cstdio>

TerminalSimulator::TerminalSimulator(Family family, QObject *parent)
    : QObject(parent)
    , m_family(family)
    , m_port(new QSerialPort(this))
    , m_statusReply(family == Ingenico ? QByteArrayLiteral("M000000") : QByteArrayLiteral("M00100"))
{
    connect(m_port, &QSerialPort::readyRead, this, &TerminalSimulator::readAvailable);
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        // A line whose other end is gone reports the same error on every turn of the event loop.
        if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && !m_lost) {
            m_lost = true;
            QMetaObject::invokeMethod(this, &TerminalSimulator::lineLost, Qt::QueuedConnection);
        }
    });
}

void TerminalSimulator::lineLost()
{
    // Opened again on a new line meanwhile.
    if (!m_lost)
        return;
    close();
    emit disconnected();
}

TerminalSimulator::~TerminalSimulator()
{
    close();
}

bool TerminalSimulator::open(const QString &path)
{
    m_port->setPortName(path);
    m_port->setBaudRate(QSerialPort::Baud115200);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setStopBits(QSerialPort::OneStop);
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    m_lost = false;
    m_port->clear(QSerialPort::AllDirections);
    return true;
}

void TerminalSimulator::close()
{
    if (!m_port->isOpen())
        return;
    if (m_port->bytesToWrite() > 0)
        m_port->waitForBytesWritten(1000);
    m_port->close();
}

char TerminalSimulator::lrc(const QByteArray &bytes)
{
    char check = 0;
    for (char c : bytes)
        check ^= c;
    return check;
}

QByteArray TerminalSimulator::frame(const QByteArray &message) const
{
    // Newnote puts DLE before STX and ETX; the check byte covers the message and its end.
    const QByteArray dle = m_family == Newnote ? QByteArray(1, DLE) : QByteArray();
    const QByteArray checked = message + dle + ETX;
    return dle + STX + checked + lrc(checked);
}

QByteArray TerminalSimulator::pollMessage() const
{
    return m_family == Ingenico ? QByteArrayLiteral("M00005LB020000") : QByteArrayLiteral("M00110PQ");
}

void TerminalSimulator::sendMessage(const QByteArray &message)
{
    log("->", message);
    sendRaw(frame(message));
}

void TerminalSimulator::sendRaw(const QByteArray &bytes)
{
    if (m_port->isOpen())
        m_port->write(bytes);
}

void TerminalSimulator::setAnswerCommands(bool on, int delayMs)
{
    m_answerCommands = on;
    m_replyDelayMs = delayMs;
}

void TerminalSimulator::clearReceived()
{
    m_messages.clear();
    m_acks.clear();
}

QByteArray TerminalSimulator::replyTo(const QByteArray &command) const
{
    const QByteArray code = command.left(4);
    const QByteArray result = m_decline ? QByteArrayLiteral("05") : QByteArrayLiteral("00");
    if (m_family == Ingenico) {
        if (code == "P051")
            return "P051" + result + command.mid(16) + "000123";
        if (code == "P061")
            return "P061" + result + command.mid(16, 8) + "000124";
        if (code == "P001" || code == "P042")
            return code + "00";
        if (code == "M005")
            return command.left(6);
        return QByteArray();
    }
    if (code == "C000") {
        // Result, amount, then the EMV values the purchase asked for, as tag, length, value.
        QByteArray reply = "C000" + result + command.mid(10, 8);
        reply += QByteArray::fromHex("9f1c08") + "TPA00001";
        reply += QByteArray::fromHex("9a06") + "240131";
        reply += QByteArray::fromHex("9f2106") + "123456";
        reply += QByteArray::fromHex("9f0206000000001250");
        return reply;
    }
    if (code == "C002")
        return "C002" + result + command.mid(10, 8);
    if (code == "S000" || code == "S001")
        return code + "00";
    return QByteArray();
}

void TerminalSimulator::readAvailable()
{
    for (char c : m_port->readAll())
        handleByte(c);
}

void TerminalSimulator::handleByte(char c)
{
    const char previous = m_previous;
    m_previous = c;
    if (m_awaitingCheck) {
        m_awaitingCheck = false;
        handleFrame(m_body, c);
        m_body.clear();
        return;
    }
    if (!m_inFrame) {
        const bool start = c == STX && (m_family == Ingenico || previous == DLE);
        if (start) {
            m_inFrame = true;
            m_body.clear();
        } else if (c == ACK || c == NAK) {
            m_acks += c;
        }
        return;
    }
    if (c == ETX && (m_family == Ingenico || previous == DLE)) {
        m_inFrame = false;
        m_awaitingCheck = true;
        return;
    }
    m_body += c;
}

void TerminalSimulator::handleFrame(const QByteArray &body, char check)
{
    if (lrc(body + ETX) != check) {
        m_port->write(QByteArray(1, NAK));
        return;
    }
    m_port->write(QByteArray(1, ACK));
    const QByteArray message = m_family == Newnote ? body.left(body.size() - 1) : body;
    log("<-", message);
    m_messages += message;

    if (message == pollMessage()) {
        if (m_answerPolls)
            sendMessage(m_statusReply);
        return;
    }
    if (!m_answerCommands)
        return;
    const QByteArray reply = replyTo(message);
    if (!reply.isEmpty())
        QTimer::singleShot(m_replyDelayMs, this, [this, reply] { sendMessage(reply); });
}

void TerminalSimulator::log(const char *direction, const QByteArray &message) const
{
    if (!m_verbose)
        return;
    QByteArray shown;
    for (char c : message) {
        const uchar u = uchar(c);
        if (u >= 0x20 && u < 0x7F && c != '\\')
            shown += c;
        else
            shown += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    std::printf("%s %s\n", direction, shown.constData());
    std::fflush(stdout);
}
