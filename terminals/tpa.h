#pragma once

#include "serialportdescription.h"
#include "tpaworker.h"

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QStringList>
#include <QVector>

#include <memory>

class QThread;
class TpaJournal;
class TpaMessages;

// One payment terminal on a serial port: the user's enabled flag, the API's commands in the
// messages of the terminal's family, and what the terminal reported, kept apart for each point of
// sale that uses it. The serial protocol runs in a worker on the terminal's own thread; the two talk
// only through queued signals. The API's connection threads call the builders and reads while the
// worker's reports arrive on the controller's thread, so the buffers and flags are under m_mutex.
// Points of sale are kept up to a number, with ids up to a length: callers are outside input.
class Tpa : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(SerialPortDescription tpa READ tpa NOTIFY tpaChanged)
    Q_PROPERTY(int vendorId READ vendorId NOTIFY vendorIdChanged)
    Q_PROPERTY(bool state READ state NOTIFY stateChanged)
    Q_PROPERTY(State terminalState READ terminalState NOTIFY terminalStateChanged)
    Q_PROPERTY(bool available READ available WRITE setAvailable NOTIFY availableChanged)

public:
    // The terminal's family, which speaks its own protocol; the API reports its number as the
    // vendorId. A record of no family has no worker and sends nothing.
    enum Family { NoFamily = 0, Ingenico = 1, Newnote = 2 };
    // What the worker knows of the terminal: it answered its last poll, runs a command, leaves its
    // polls unanswered (or its port cannot be opened), or its port is gone.
    enum State { Ready, Busy, NotAnswering, Offline };
    Q_ENUM(State)

    // Longer terminal ids are refused; beyond this many, the least recently used id goes, one
    // whose texts were read before one whose were not, and never the current one.
    static constexpr int maxTerminalIdLength = 256;
    static constexpr int maxTerminalIds = 64;
    static bool isValidTerminalId(const QString &terminalId)
    {
        return terminalId.size() <= maxTerminalIdLength;
    }

    explicit Tpa(const SerialPortDescription &tpa = SerialPortDescription(), Family family = NoFamily,
        QObject *parent = nullptr, const TpaWorker::Intervals &intervals = TpaWorker::Intervals());
    // Stops the worker's thread, which closes the port, before the terminal goes.
    ~Tpa() override;

    // Where the terminal files its texts, given before the terminal is shared; none by default.
    void setJournal(TpaJournal *journal) { m_journal = journal; }

    QString name() const;
    SerialPortDescription tpa() const { return m_tpa; }
    int vendorId() const { return m_family; }
    // Whether the port is present, as the worker last found it; cheap, from any thread.
    bool state() const;
    State terminalState() const;
    // The state as the API names it: "ready", "busy", "not answering", "offline".
    static QString stateName(State state);
    bool available() const;
    void setAvailable(const bool &value);
    // Settings key material: Base64 of the SHA-1 of the USB ids taken as UTF-16 code units.
    QString getHash() const;

    bool isInTransaction() const;
    int terminalTpaIndex(const QString &terminalId) const;
    QString lastStatus(const QString &terminalId);
    QStringList lastTransactionStatus(const QString &terminalId);
    QStringList clearLastTransactionStatus(const QString &terminalId);

    void setTpaPurchase(const QString &terminalId, const QString &amount);
    void setTpaRefund(
        const QString &terminalId, const QString &tpaId, const QString &dateTime, const QString &amount);
    void setTpaOpen(const QString &terminalId);
    void setTpaClose(const QString &terminalId);
    void setTpaOpenMenu(const QString &terminalId);
    void setTpaReprintLastReceipt(const QString &terminalId);

signals:
    void commandBuilt(QByteArray command);
    void nameChanged(const QString &name);
    void vendorIdChanged(const int &vendorId);
    void stateChanged(const bool &state);
    void availableChanged(const bool &available);
    void tpaChanged(const SerialPortDescription &tpa);
    void lastStatusChanged();
    void lastTransactionStatusChanged();
    void terminalStateChanged(Tpa::State terminalState);

public slots:
    void onStatus(QString status);
    void onTransactionStatus(QString transactionStatus);
    void onInTransactionChanged(bool inTransaction);
    void onPortPresent(bool present);
    void onAnswering(bool answering);
    void persistAvailability();

private:
    // Index of terminalId's entry, made (and another one dropped) when it has none.
    int pointOfSaleLocked(const QString &terminalId);
    int terminalIndexLocked(const QString &terminalId) const;
    void notifyTerminalState();
    // Makes terminalId current, for every family, then hands the command to the worker; an empty
    // one, a command the family lacks, is not sent.
    void send(const QString &terminalId, const QByteArray &message);
    QString settingsKey() const;

    // Only on the controller's thread, which makes and ends the terminal.
    QThread *m_workerThread = nullptr;
    QSettings m_settings;
    // Fixed before the terminal is shared, then only read: no lock.
    const SerialPortDescription m_tpa;
    const Family m_family;
    std::unique_ptr<const TpaMessages> m_messages;
    TpaJournal *m_journal = nullptr;

    mutable QMutex m_mutex;
    bool m_available = true; // guarded by m_mutex
    QString m_lastStatus; // guarded by m_mutex
    bool m_inTransaction = false; // guarded by m_mutex
    // A point of sale: its terminal id and the transaction texts waiting for it.
    struct PointOfSale
    {
        QString terminalId;
        QStringList texts;
        quint64 lastUse = 0;
    };
    QVector<PointOfSale> m_pointsOfSale; // guarded by m_mutex
    quint64 m_uses = 0; // guarded by m_mutex
    int m_currentTerminal = -1; // guarded by m_mutex
    // The port was found when the terminal was; the worker reports when that changes.
    bool m_portPresent = true; // guarded by m_mutex
    bool m_answering = false; // guarded by m_mutex
};
