#include "journal.h"

#include "journalcheckpointer.h"

#include <QDir>
#include <QMutexLocker>
#include <QSemaphore>
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
    , m_path(path)
    , m_limits(limits)
    , m_clock(std::move(clock))
    , m_thread(new QThread)
    , m_context(new QObject)
{
    m_context->moveToThread(m_thread);
    QSemaphore setUp;
    connect(m_thread, &QThread::started, m_context, [this, &setUp] {
        m_setUp = new JournalStore(m_path, m_limits, m_clock);
        if (m_setUp->isAvailable()) {
            m_checkpointer = new JournalCheckpointer(m_path);
            m_setUp->checkpointElsewhere();
        }
        m_available = m_setUp->isAvailable();
        m_problem = m_setUp->problem();
        setUp.release();
    });
    connect(m_thread, &QThread::finished, m_context, [this] {
        delete m_checkpointer;
        m_checkpointer = nullptr;
        delete m_setUp;
        m_setUp = nullptr;
    });
    connect(m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread->setObjectName(QStringLiteral("journal"));
    m_thread->start();
    setUp.acquire();
}

Journal::~Journal()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    // The stores of threads still running, this one's among them: none of them is in a call.
    QMutexLocker locker(&m_lock);
    qDeleteAll(m_stores);
    m_stores.clear();
}

QString Journal::defaultPath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/varnel/journal.sqlite");
}

JournalStore &Journal::storeHere()
{
    QThread *thread = QThread::currentThread();
    if (JournalStore *store = m_stores.value(thread))
        return *store;
    auto *store = new JournalStore(
        m_path, m_limits, m_clock, m_available ? JournalStore::Opening::Join : JournalStore::Opening::Closed);
    if (m_checkpointer)
        store->checkpointElsewhere();
    m_stores.insert(thread, store);
    // Closed on its own thread as that ends; ~Journal closes those of threads still running.
    connect(
        thread, &QThread::finished, this,
        [this, thread] {
            QMutexLocker locker(&m_lock);
            delete m_stores.take(thread);
        },
        Qt::DirectConnection);
    return *store;
}

void Journal::entering(JournalStore &store)
{
    if (!m_available && store.isAvailable())
        store.markUnavailable(m_problem);
}

void Journal::called(JournalStore &store, int commitsBefore)
{
    if (m_available && !store.isAvailable()) {
        m_available = false;
        m_problem = store.problem();
        emit becameUnavailable(m_problem);
    }
    const int commits = store.commits() - commitsBefore;
    m_commits += commits;
    m_uncheckpointed += commits;
    if (m_checkpointer && m_uncheckpointed >= checkpointEvery) {
        m_uncheckpointed = 0;
        m_checkpointer->ask();
    }
    if (m_commits >= JournalStore::pruneEvery && !m_pruneQueued) {
        m_pruneQueued = true;
        QMetaObject::invokeMethod(
            m_context, [this] { prune(); }, Qt::QueuedConnection);
    }
}

void Journal::prune()
{
    QMutexLocker locker(&m_lock);
    m_pruneQueued = false;
    m_commits = 0;
    entering(*m_setUp);
    const int commitsBefore = m_setUp->commits();
    m_setUp->prune();
    if (m_checkpointer)
        m_checkpointer->ask();
    called(*m_setUp, commitsBefore);
}

bool Journal::isAvailable() const
{
    QMutexLocker locker(&m_lock);
    return m_available;
}

QString Journal::problem() const
{
    QMutexLocker locker(&m_lock);
    return m_problem;
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
