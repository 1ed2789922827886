#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSerialPort;

// The far end of a payment-terminal serial line: an Ingenico or Newnote terminal as the program
// sees it. It reads the program's frames, checks their check byte, answers ACK or NAK, answers
// status polls and, when asked to, the commands too. Shared by tpasim and the tests; it needs
// only QtCore and QtSerialPort.
class TerminalSimulator : public QObject
{
    Q_OBJECT

public:
    enum Family { Ingenico, Newnote };

    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr char ACK = 0x06;
    static constexpr char DLE = 0x10;
    static constexpr char NAK = 0x15;

    explicit TerminalSimulator(Family family, QObject *parent = nullptr);
    ~TerminalSimulator() override;

    // Opens the terminal's end of the line by path at 115200 8N1.
    bool open(const QString &path);
    void close();

    // The frame a terminal of this family sends for message, with a correct check byte.
    QByteArray frame(const QByteArray &message) const;
    static char lrc(const QByteArray &bytes);
    QByteArray pollMessage() const;

    void sendMessage(const QByteArray &message);
    void sendRaw(const QByteArray &bytes);

    // Replies to status polls (on by default).
    void setAnswerPolls(bool on) { m_answerPolls = on; }
    bool answersPolls() const { return m_answerPolls; }
    void setStatusReply(const QByteArray &reply) { m_statusReply = reply; }
    // Answers commands with the terminal's final reply after delayMs (off by default).
    void setAnswerCommands(bool on, int delayMs = 0);
    // Approves (default) or declines purchases and refunds when answering commands.
    void setDecline(bool on) { m_decline = on; }
    // Writes every exchanged message to standard output.
    void setVerbose(bool on) { m_verbose = on; }

    // The final reply of a terminal of this family to command, empty when there is none.
    QByteArray replyTo(const QByteArray &command) const;

    // Payloads of good frames received, in order.
    QList<QByteArray> messages() const { return m_messages; }
    // How many received messages equal message.
    int count(const QByteArray &message) const { return m_messages.count(message); }
    // ACK and NAK bytes received from the program, in order.
    QByteArray acknowledgements() const { return m_acks; }
    void clearReceived();

signals:
    // The other end of the line went away; the simulator has closed its end.
    void disconnected();

private:
    void readAvailable();
    void lineLost();
    void handleByte(char c);
    void handleFrame(const QByteArray &body, char check);
    void log(const char *direction, const QByteArray &message) const;

    Family m_family;
    QSerialPort *m_port;
    bool m_answerPolls = true;
    bool m_answerCommands = false;
    bool m_decline = false;
    bool m_verbose = false;
    bool m_lost = false;
    int m_replyDelayMs = 0;
    QByteArray m_statusReply;

    bool m_inFrame = false;
    bool m_awaitingCheck = false;
    char m_previous = 0;
    QByteArray m_body;

    QList<QByteArray> m_messages;
    QByteArray m_acks;
};
