#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

class QIODevice;
class QTimer;

// The serial protocol machine shared by every payment-terminal family: framing and check byte,
// ACK/NAK, the idle status poll, one command at a time with its time-out, and resends after serial
// time-out errors. A family supplies its frame, poll message, reply cleaning and reply table.
// The worker lives on its terminal's thread; everything below runs there, so no field needs a lock.
// A port that cannot be opened, or that goes away, is tried again until it is back.
class TpaWorker : public QObject
{
    Q_OBJECT

public:
    // Every interval the machine uses; tests shorten them.
    struct Intervals
    {
        int firstPollMs = 5000;
        int pollMs = 30000;
        int pollAfterCommandMs = 2000;
        int pollReplyTimeoutMs = 5000;
        int transactionTimeoutMs = 60000;
        int reopenMs = 1000;
    };

    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr char ACK = 0x06;
    static constexpr char DLE = 0x10;
    static constexpr char NAK = 0x15;

    // Call before the worker starts.
    void setIntervals(const Intervals &intervals) { timings = intervals; }

    // Runs the protocol over an already open device; startWorker() does this with the serial port.
    // Tests and fuzzers pass any open QIODevice and feed bytes through receiveBytes().
    void startOnDevice(QIODevice *device);

    // The receive path: what readyRead() does with the bytes it reads from the port.
    void receiveBytes(const QByteArray &bytes);

    // Read on the worker's thread.
    bool isInTransaction() const { return inTransaction; }
    QByteArray pending() const { return pendingCommand; }

    static char getLRC(const QByteArray &data);

signals:
    void statusReported(QString status);
    void transactionStatusReported(QString transactionStatus);
    void inTransactionChanged(bool inTransaction);
    // Whether the port is present (it opens, or fails to for another reason than being gone), and
    // whether the terminal answered its last status poll; each is reported when it changes.
    void portPresentChanged(bool present);
    void answeringChanged(bool answering);

public slots:
    void setNewCommand(QByteArray newCommand);
    void startWorker();
    void loopStatusCheck();
    void errorOccurred(QSerialPort::SerialPortError error);
    void transactionTimeout();
    void readyRead();

protected:
    // What sets a family's line apart besides its replies. A frame is the start bytes, the
    // message, the end bytes and a check byte over the message and end bytes. The status poll's
    // reply starts with its four-byte code; an outstanding poll may hold back a new command until
    // that reply.
    struct Protocol
    {
        QByteArray frameStart;
        QByteArray frameEnd;
        QByteArray pollMessage;
        QByteArray statusReplyCode;
        bool pollHoldsCommands;
    };

    TpaWorker(const QString &portPath, const Protocol &protocol, QObject *parent);

    // What is left of a received message before it is reported.
    virtual QByteArray cleanMessage(const QByteArray &message) const { return message; }
    // The family's reaction to a received message, by its reply code.
    virtual void reactToMessage(const QString &text) = 0;

    void restartStatusTimer(int ms);
    void startTransaction(bool command);
    void sendMessage(const QByteArray &message);
    void sendMessagePrivate(const QByteArray &message);
    // A received message whose check byte was right: reported, then reacted to.
    void handleMessage(const QByteArray &message);
    void stopTransaction();
    void refreshTransaction();
    void setIsInTransaction(bool flag);
    void markStatusReceived() { statusPending = false; }
    bool hasPendingCommand() const { return !pendingCommand.isEmpty(); }

private:
    void openPort();
    void begin(QIODevice *openDevice);
    void writeToDevice(const QByteArray &bytes);
    void portLost();
    void refuseForClosedPort(const QString &outcome);
    void reportPortPresent(bool present);
    void reportAnswering(bool answering);

    const Protocol protocol;
    QSerialPort *serialPort = nullptr;
    QString portPath;
    QByteArray lastMessage;
    bool inFrame = false;
    bool awaitingLrc = false;
    int retries = 0;
    bool inTransaction = false;
    bool statusPending = false;
    QByteArray pendingCommand;
    QByteArray rxBuffer;
    QTimer *statusTimer = nullptr;
    QTimer *transactionTimer = nullptr;
    QTimer *reopenTimer = nullptr;
    // What was last reported through portPresentChanged and answeringChanged.
    bool portPresent = true;
    bool answering = false;
    // The serial port once open, or the device handed to startOnDevice(); null when none works.
    QIODevice *device = nullptr;
    Intervals timings;
};
