#include "journal.h"

#include "journalcheckpointer.h"

#include <QDir>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QThread>

namespace {

QString claimKey(const QString &route, const QString &requestId)
{
    return route + QLatin1Char('\n') + requestId;
}

} // namespace

Journal::Journal(const QString &path, const JournalLimits &limits, JournalStore::Clock clock, QObject *parent)
    : QObject(parent)
    , m_thread(new QThread)
    , m_context(new QObject)
{
    m_context->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_context, [this, path, limits, clock] {
        m_store = new JournalStore(path, limits, clock);
        if (!m_store->isAvailable())
            return;
        m_checkpointer = new JournalCheckpointer(path);
        m_store->checkpointElsewhere();
    });
    connect(m_thread, &QThread::finished, m_context, [this] {
        delete m_checkpointer;
        m_checkpointer = nullptr;
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

void Journal::called(bool wasAvailable)
{
    if (wasAvailable && !m_store->isAvailable())
        emit becameUnavailable(m_store->problem());
    if (m_store->checkpointDue()) {
        m_store->checkpointAsked();
        m_checkpointer->ask();
    }
    if (m_store->pruneDue() && !m_pruneQueued) {
        m_pruneQueued = true;
        QMetaObject::invokeMethod(
            m_context,
            [this] {
                m_pruneQueued = false;
                const bool wasAvailable = m_store->isAvailable();
                m_store->prune();
                if (m_checkpointer)
                    m_checkpointer->ask();
                called(wasAvailable);
            },
            Qt::QueuedConnection);
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
