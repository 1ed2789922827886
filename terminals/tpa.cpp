#include "tpa.h"

#include "replytext.h"
#include "tpajournal.h"
#include "tpamessagesingenico.h"
#include "tpamessagesnewnote.h"
#include "tpaworkeringenico.h"
#include "tpaworkernewnote.h"

#include <QCryptographicHash>
#include <QMutexLocker>
#include <QThread>

#include <utility>

Tpa::Tpa(
    const SerialPortDescription &tpa, Family family, QObject *parent, const TpaWorker::Intervals &intervals)
    : QObject(parent)
    , m_tpa(tpa)
    , m_family(family)
{
    m_available = m_settings.value(settingsKey(), true).toBool();

    m_workerThread = new QThread;
    TpaWorker *worker = nullptr;
    switch (family) {
    case Ingenico:
        m_messages = std::make_unique<TpaMessagesIngenico>();
        worker = new TpaWorkerIngenico(tpa.systemLocation());
        break;
    case Newnote:
        m_messages = std::make_unique<TpaMessagesNewnote>();
        worker = new TpaWorkerNewnote(tpa.systemLocation());
        break;
    default:
        m_messages = std::make_unique<TpaMessages>();
        break;
    }
    if (worker) {
        worker->setIntervals(intervals);
        worker->moveToThread(m_workerThread);
        connect(m_workerThread, &QThread::started, worker, &TpaWorker::startWorker);
        connect(m_workerThread, &QThread::finished, worker, &QObject::deleteLater);
        connect(this, &Tpa::commandBuilt, worker, &TpaWorker::setNewCommand);
        connect(worker, &TpaWorker::statusReported, this, &Tpa::onStatus);
        connect(worker, &TpaWorker::transactionStatusReported, this, &Tpa::onTransactionStatus);
        connect(worker, &TpaWorker::inTransactionChanged, this, &Tpa::onInTransactionChanged);
        connect(worker, &TpaWorker::portPresentChanged, this, &Tpa::onPortPresent);
        connect(worker, &TpaWorker::answeringChanged, this, &Tpa::onAnswering);
    }
    m_workerThread->start();

    connect(this, &Tpa::availableChanged, this, &Tpa::persistAvailability);
}

Tpa::~Tpa()
{
    // A command cut short by the terminal's going has an outcome nobody knows.
    if (m_journal && m_currentTerminal != -1)
        m_journal->commandCut(m_tpa.portName());
    m_workerThread->quit();
    m_workerThread->wait();
    delete m_workerThread;
}

QString Tpa::name() const
{
    return m_tpa.description() + QStringLiteral(" [") + m_tpa.portName() + QLatin1Char(']');
}

bool Tpa::state() const
{
    QMutexLocker locker(&m_mutex);
    return m_portPresent;
}

Tpa::State Tpa::terminalState() const
{
    QMutexLocker locker(&m_mutex);
    if (!m_portPresent)
        return Offline;
    if (m_inTransaction)
        return Busy;
    return m_answering ? Ready : NotAnswering;
}

QString Tpa::stateName(State state)
{
    static const char *const names[] = { "ready", "busy", "not answering", "offline" };
    return QLatin1String(names[state]);
}

void Tpa::notifyTerminalState()
{
    // The window binds to this object on its own thread; builders run on the API's threads.
    QMetaObject::invokeMethod(this, [this] { emit terminalStateChanged(terminalState()); });
}

bool Tpa::available() const
{
    QMutexLocker locker(&m_mutex);
    return m_available;
}

void Tpa::setAvailable(const bool &value)
{
    {
        QMutexLocker locker(&m_mutex);
        m_available = value;
    }
    emit availableChanged(value);
}

QString Tpa::getHash() const
{
    const QByteArray material = QString(QChar(m_tpa.vendorIdentifier())).toUtf8()
        + QString(QChar(m_tpa.productIdentifier())).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(material, QCryptographicHash::Sha1).toBase64());
}

QString Tpa::settingsKey() const
{
    return QStringLiteral("tpa/%1").arg(getHash());
}

void Tpa::persistAvailability()
{
    m_settings.setValue(settingsKey(), available());
    m_settings.sync();
}

bool Tpa::isInTransaction() const
{
    QMutexLocker locker(&m_mutex);
    return m_inTransaction;
}

int Tpa::pointOfSaleLocked(const QString &terminalId)
{
    ++m_uses;
    for (int i = 0; i < m_pointsOfSale.size(); ++i) {
        if (m_pointsOfSale.at(i).terminalId == terminalId) {
            m_pointsOfSale[i].lastUse = m_uses;
            return i;
        }
    }
    if (m_pointsOfSale.size() >= maxTerminalIds) {
        // Texts not yet read may be a payment's outcome: such an entry goes only when every
        // other one holds texts too.
        const auto rank = [this](int i) {
            const PointOfSale &entry = m_pointsOfSale.at(i);
            return std::make_pair(!entry.texts.isEmpty(), entry.lastUse);
        };
        int victim = -1;
        for (int i = 0; i < m_pointsOfSale.size(); ++i) {
            if (i != m_currentTerminal && (victim == -1 || rank(i) < rank(victim)))
                victim = i;
        }
        m_pointsOfSale.remove(victim);
        if (m_currentTerminal > victim)
            --m_currentTerminal;
    }
    // What it has not read of its last command, kept by the journal through restarts and the
    // terminal's absences.
    const QStringList unread
        = m_journal ? m_journal->unreadTexts(m_tpa.portName(), terminalId) : QStringList();
    m_pointsOfSale.append({ terminalId, unread, m_uses });
    return m_pointsOfSale.size() - 1;
}

int Tpa::terminalTpaIndex(const QString &terminalId) const
{
    QMutexLocker locker(&m_mutex);
    return terminalIndexLocked(terminalId);
}

int Tpa::terminalIndexLocked(const QString &terminalId) const
{
    for (int i = 0; i < m_pointsOfSale.size(); ++i) {
        if (m_pointsOfSale.at(i).terminalId == terminalId)
            return i;
    }
    return -1;
}

QString Tpa::lastStatus(const QString &terminalId)
{
    QMutexLocker locker(&m_mutex);
    const int index = pointOfSaleLocked(terminalId);
    if (m_currentTerminal != -1 && m_currentTerminal != index)
        return ReplyText::tpaBusy();
    return m_lastStatus;
}

QStringList Tpa::lastTransactionStatus(const QString &terminalId)
{
    QMutexLocker locker(&m_mutex);
    const int index = pointOfSaleLocked(terminalId);
    QStringList &texts = m_pointsOfSale[index].texts;
    // The caller polls while its own transaction runs; after that, reading consumes.
    if (m_inTransaction && m_currentTerminal == index)
        return texts;
    if (m_journal && !texts.isEmpty())
        m_journal->textsRead(m_tpa.portName(), terminalId);
    return std::exchange(texts, QStringList());
}

QStringList Tpa::clearLastTransactionStatus(const QString &terminalId)
{
    QMutexLocker locker(&m_mutex);
    const int index = pointOfSaleLocked(terminalId);
    if (m_inTransaction || m_currentTerminal != -1)
        return QStringList();
    if (m_journal && !m_pointsOfSale.at(index).texts.isEmpty())
        m_journal->textsRead(m_tpa.portName(), terminalId);
    return std::exchange(m_pointsOfSale[index].texts, QStringList());
}

void Tpa::send(const QString &terminalId, const QByteArray &message)
{
    QMutexLocker locker(&m_mutex);
    m_currentTerminal = pointOfSaleLocked(terminalId);
    if (message.isEmpty())
        return;
    m_inTransaction = true;
    locker.unlock();
    notifyTerminalState();
    emit commandBuilt(message);
}

void Tpa::setTpaPurchase(const QString &terminalId, const QString &amount)
{
    send(terminalId, m_messages->purchase(amount));
}

void Tpa::setTpaRefund(
    const QString &terminalId, const QString &tpaId, const QString &dateTime, const QString &amount)
{
    send(terminalId, m_messages->refund(amount, tpaId, dateTime));
}

void Tpa::setTpaOpen(const QString &terminalId)
{
    send(terminalId, m_messages->open());
}

void Tpa::setTpaClose(const QString &terminalId)
{
    send(terminalId, m_messages->close());
}

void Tpa::setTpaOpenMenu(const QString &terminalId)
{
    send(terminalId, m_messages->openMenu());
}

void Tpa::setTpaReprintLastReceipt(const QString &terminalId)
{
    send(terminalId, m_messages->reprintLastReceipt());
}

void Tpa::onStatus(QString status)
{
    {
        QMutexLocker locker(&m_mutex);
        m_lastStatus = status;
    }
    emit lastStatusChanged();
}

void Tpa::onTransactionStatus(QString transactionStatus)
{
    // In the journal before any point of sale can read it.
    const QString filedFor = m_journal ? m_journal->fileText(m_tpa.portName(), transactionStatus) : QString();
    {
        QMutexLocker locker(&m_mutex);
        if (m_currentTerminal != -1) {
            m_pointsOfSale[m_currentTerminal].texts << transactionStatus;
        } else if (!filedFor.isNull()) {
            // A late answer to a command that was cut: its point of sale reads it after the cut.
            const int index = terminalIndexLocked(filedFor);
            if (index != -1)
                m_pointsOfSale[index].texts << transactionStatus;
            else
                pointOfSaleLocked(filedFor);
        } else {
            return;
        }
    }
    emit lastTransactionStatusChanged();
}

void Tpa::onInTransactionChanged(bool inTransaction)
{
    // Ended in the journal before the API can start the next command.
    if (!inTransaction && m_journal)
        m_journal->commandEnded(m_tpa.portName());
    {
        QMutexLocker locker(&m_mutex);
        if (!inTransaction)
            m_currentTerminal = -1;
        m_inTransaction = inTransaction;
    }
    notifyTerminalState();
}

void Tpa::onPortPresent(bool present)
{
    {
        QMutexLocker locker(&m_mutex);
        m_portPresent = present;
    }
    emit stateChanged(present);
    notifyTerminalState();
}

void Tpa::onAnswering(bool answering)
{
    {
        QMutexLocker locker(&m_mutex);
        m_answering = answering;
    }
    notifyTerminalState();
}
