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
    m_started = exitCode == 0;
    if (m_started)
        qputenv("CUPS_SERVER", server().toLocal8Bit());
    return m_started;
}

void CupsScheduler::stop()
{
    if (!m_started)
        return;
    TestSupport::run(
        TestSupport::fixture(QStringLiteral("cupsfixture.sh")), { QStringLiteral("stop"), m_dir.path() });
    m_started = false;
}

QString CupsScheduler::server() const
{
    return m_dir.filePath(QStringLiteral("cups.sock"));
}

bool CupsScheduler::addQueue(const QString &name)
{
    const QString output = m_dir.filePath(QStringLiteral("queue%1.out").arg(m_outputs.size() + 1));
    int exitCode = -1;
    TestSupport::run(TestSupport::fixture(QStringLiteral("cupsfixture.sh")),
        { QStringLiteral("addqueue"), m_dir.path(), name, output }, 30000, &exitCode);
    if (exitCode != 0)
        return false;
    m_outputs.insert(name, output);
    return true;
}

QString CupsScheduler::outputFile(const QString &name) const
{
    return m_outputs.value(name);
}

bool CupsScheduler::removeQueue(const QString &name)
{
    m_outputs.remove(name);
    return command(QStringLiteral("lpadmin"), { QStringLiteral("-x"), name });
}

bool CupsScheduler::setQueueEnabled(const QString &name, bool enabled)
{
    return command(enabled ? QStringLiteral("cupsenable") : QStringLiteral("cupsdisable"), { name });
}

bool CupsScheduler::removeAllQueues()
{
    bool ok = true;
    for (const QString &name : m_outputs.keys())
        ok = removeQueue(name) && ok;
    return ok;
}

QString CupsScheduler::accessLog() const
{
    return m_dir.filePath(QStringLiteral("log/access_log"));
}

bool CupsScheduler::command(const QString &program, const QStringList &arguments)
{
    int exitCode = -1;
    TestSupport::run(program, QStringList { QStringLiteral("-h"), server() } + arguments, 30000, &exitCode);
    return exitCode == 0;
}
