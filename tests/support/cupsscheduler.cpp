#include "cupsscheduler.h"

#include "testsupport.h"

CupsScheduler::~CupsScheduler()
{
    stop();
}

bool CupsScheduler::start()
{
    int exitCode = -1;
    TestSupport::run(TestSupport::fixture(QStringLiteral("cupsfixture.sh")),
        { QStringLiteral("start"), m_dir.path() }, 30000, &exitCode);
    m_started = exitCode == 0;
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
    int exitCode = -1;
    TestSupport::run(TestSupport::fixture(QStringLiteral("cupsfixture.sh")),
        { QStringLiteral("addqueue"), m_dir.path(), name, outputFile(name) }, 30000, &exitCode);
    return exitCode == 0;
}

QString CupsScheduler::outputFile(const QString &name) const
{
    return m_dir.filePath(name + QStringLiteral(".out"));
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
