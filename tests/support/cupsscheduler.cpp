#include "cupsscheduler.h"

#include "testsupport.h"

CupsScheduler::~CupsScheduler()
{
    stop();
}

bool CupsScheduler::start()
{
    if (!m_dir.isValid())
        return false;
    int exitCode = -1;
    TestSupport::run(TestSupport::fixture(QStringLiteral("cupsfixture.sh")),
        { QStringLiteral("start"), m_dir.path() }, 30000, &exitCode);
    if (exitCode != 0)
        return false;
    m_running = true;
    qputenv("CUPS_SERVER", socketPath().toLocal8Bit());
    return true;
}

void CupsScheduler::stop()
{
    if (!m_running)
        return;
    TestSupport::run(
        TestSupport::fixture(QStringLiteral("cupsfixture.sh")), { QStringLiteral("stop"), m_dir.path() });
    m_running = false;
}

QString CupsScheduler::socketPath() const
{
    return m_dir.path() + QStringLiteral("/cups.sock");
}

bool CupsScheduler::addQueue(const QString &name)
{
    // The output's file: URI must be plain ASCII, whatever the queue's name.
    const QString output = m_dir.filePath(QStringLiteral("queue%1.out").arg(++m_outputs));
    int exitCode = -1;
    TestSupport::run(TestSupport::fixture(QStringLiteral("cupsfixture.sh")),
        { QStringLiteral("addqueue"), m_dir.path(), name, output }, 30000, &exitCode);
    if (exitCode != 0)
        return false;
    m_queues << name;
    return true;
}

bool CupsScheduler::removeQueue(const QString &name)
{
    int exitCode = -1;
    TestSupport::run(QStringLiteral("lpadmin"),
        { QStringLiteral("-h"), socketPath(), QStringLiteral("-x"), name }, 30000, &exitCode);
    m_queues.removeAll(name);
    return exitCode == 0;
}

bool CupsScheduler::setQueueEnabled(const QString &name, bool enabled)
{
    int exitCode = -1;
    TestSupport::run(enabled ? QStringLiteral("cupsenable") : QStringLiteral("cupsdisable"),
        { QStringLiteral("-h"), socketPath(), name }, 30000, &exitCode);
    return exitCode == 0;
}

bool CupsScheduler::removeAllQueues()
{
    bool ok = true;
    for (const QString &name : QStringList(m_queues))
        ok = removeQueue(name) && ok;
    return ok;
}
