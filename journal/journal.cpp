#include "journal.h"

#include <QDir>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QThread>

namespace {

QString claimKey(const QString &route, const QString &requestId)
{
    return route + QLatin1Char('\n') + requestId;
}

// Writes between two prunings: the bounds hold within a few hundred entries.
constexpr int pruneEvery = 500;

} // namespace

Journal::Journal(const QString &path, const JournalLimits &limits, JournalStore::Clock clock, QObject *parent)
    : QObject(parent)
    , m_thread(new QThread)
    , m_context(new QObject)
{
    m_context->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_context,
        [this, path, limits, clock] { m_store = new JournalStore(path, limits, clock); });
    connect(m_thread, &QThread::finished, m_context, [this] {
        delete m_store;
        m_store = nullptr;
    });
    connect(m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread->setObjectName(QStringLiteral("journal"));
    m_thread->start();
}

Journal::~Journal()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

QString Journal::defaultPath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/varnel/journal.sqlite");
}

template<typename F> auto Journal::run(F f) -> decltype(f(std::declval<JournalStore &>()))
{
    using Result = decltype(f(std::declval<JournalStore &>()));
    const auto call = [this, &f] {
        const bool wasAvailable = m_store->isAvailable();
        if constexpr (std::is_void_v<Result>) {
            f(*m_store);
            if (wasAvailable && !m_store->isAvailable())
                emit becameUnavailable(m_store->problem());
        } else {
            Result result = f(*m_store);
            if (wasAvailable && !m_store->isAvailable())
                emit becameUnavailable(m_store->problem());
            return result;
        }
    };
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(m_context, call, Qt::BlockingQueuedConnection);
    } else {
        Result result {};
        QMetaObject::invokeMethod(
            m_context, [&] { result = call(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

bool Journal::isAvailable() const
{
    return const_cast<Journal *>(this)->run([](JournalStore &store) { return store.isAvailable(); });
}

QString Journal::problem() const
{
    return const_cast<Journal *>(this)->run([](JournalStore &store) { return store.problem(); });
}

Journal::Claim Journal::claim(
    const QString &route, const QString &requestId, const QByteArray &fingerprint, QByteArray *reply)
{
    const QString key = claimKey(route, requestId);
    QMutexLocker locker(&m_claimLock);
    while (m_acting.contains(key))
        m_settled.wait(&m_claimLock);
    bool same = false;
    const JournalStore::Claim claimed
        = run([&](JournalStore &store) { return store.claim(route, requestId, fingerprint, reply, &same); });
    switch (claimed) {
    case JournalStore::Claim::Failed:
        return Claim::Unavailable;
    case JournalStore::Claim::Done:
        return same ? Claim::Repeat : Claim::Conflict;
    case JournalStore::Claim::Pending:
        m_acting.insert(key);
        return Claim::Interrupted;
    case JournalStore::Claim::New:
        break;
    }
    m_acting.insert(key);
    return Claim::New;
}

bool Journal::settle(const QString &route, const QString &requestId, const QByteArray &reply)
{
    const bool settled = run([&](JournalStore &store) { return store.settle(route, requestId, reply); });
    QMutexLocker locker(&m_claimLock);
    m_acting.remove(claimKey(route, requestId));
    m_settled.wakeAll();
    return settled;
}

qint64 Journal::printStarted(const QString &printer, const QString &requestId, const QByteArray &bytes)
{
    return run([&](JournalStore &store) { return store.printStarted(printer, requestId, bytes); });
}

bool Journal::printEnded(qint64 entry, int jobId, const QString &outcome)
{
    return run([&](JournalStore &store) {
        const bool written = store.printEnded(entry, jobId, outcome);
        if (++m_writes % pruneEvery == 0)
            store.prune();
        return written;
    });
}

bool Journal::printOfRequest(const QString &requestId, int *jobId)
{
    return run([&](JournalStore &store) { return store.printOfRequest(requestId, jobId); });
}

bool Journal::knownJob(const QString &printer, int jobId, QString *outcome)
{
    return run([&](JournalStore &store) { return store.knownJob(printer, jobId, outcome); });
}

QByteArray Journal::printBytes(qint64 entry, QString *printer)
{
    return run([&](JournalStore &store) { return store.printBytes(entry, printer); });
}

qint64 Journal::commandStarted(const QString &port, const QString &terminalId, const QString &command,
    const QString &amount, const QString &requestId)
{
    return run([&](JournalStore &store) {
        const qint64 entry = store.commandStarted(port, terminalId, command, amount, requestId);
        if (++m_writes % pruneEvery == 0)
            store.prune();
        return entry;
    });
}

bool Journal::commandOfRequest(const QString &requestId)
{
    return run([&](JournalStore &store) { return store.commandOfRequest(requestId); });
}

QString Journal::fileText(const QString &port, const QString &text)
{
    return run([&](JournalStore &store) { return store.fileText(port, text); });
}

void Journal::commandEnded(const QString &port)
{
    run([&](JournalStore &store) { store.commandEnded(port); });
}

void Journal::commandCut(const QString &port)
{
    run([&](JournalStore &store) { store.commandCut(port); });
}

void Journal::textsRead(const QString &port, const QString &terminalId)
{
    run([&](JournalStore &store) { store.textsRead(port, terminalId); });
}

QStringList Journal::unreadTexts(const QString &port, const QString &terminalId)
{
    return run([&](JournalStore &store) { return store.unreadTexts(port, terminalId); });
}

QJsonArray Journal::entries(qint64 from, qint64 to, const QString &kind, int limit, bool *more)
{
    return run([&](JournalStore &store) { return store.entries(from, to, kind, limit, more); });
}

void Journal::prune()
{
    run([](JournalStore &store) { store.prune(); });
}

qint64 Journal::usedBytes()
{
    return run([](JournalStore &store) { return store.usedBytes(); });
}

bool Journal::integrityOk()
{
    return run([](JournalStore &store) { return store.integrityOk(); });
}
