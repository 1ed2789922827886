#include "cupsscheduler.h"

#include "testsupport.h"

#include <QFile>
#include <QFileInfo>

bool CupsScheduler::start(const QStringList &backends)
{
    QStringList arguments { QStringLiteral("start"), m_dir.path() };
    for (const QString &backend : backends)
        arguments << (QFileInfo(backend).isAbsolute() ? backend : TestSupport::fixture(backend));
    m_started = m_dir.isValid() && fixture(arguments);
    if (m_started)
        qputenv("CUPS_SERVER", server().toLocal8Bit());
    return m_started;
}

qint64 CupsScheduler::pid() const
{
    QFile file(m_dir.filePath(QStringLiteral("cupsd.pid")));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

void CupsScheduler::stop()
{
    if (m_started)
        fixture({ QStringLiteral("stop"), m_dir.path() });
    m_started = false;
}

bool CupsScheduler::addQueue(const QString &name)
{
    const QString output = m_dir.filePath(QStringLiteral("queue%1.out").arg(m_outputs.size() + 1));
    if (!fixture({ QStringLiteral("addqueue"), m_dir.path(), name, output }))
        return false;
    m_outputs.insert(name, output);
    return true;
}

bool CupsScheduler::removeQueue(const QString &name)
{
    m_outputs.remove(name);
    return command(QStringLiteral("lpadmin"), { QStringLiteral("-x"), name });
}

bool CupsScheduler::removeAllQueues()
{
    bool ok = true;
    for (const QString &name : m_outputs.keys())
        ok = removeQueue(name) && ok;
    return ok;
}

bool CupsScheduler::command(const QString &program, const QStringList &arguments)
{
    int exitCode = -1;
    TestSupport::run(program, QStringList { QStringLiteral("-h"), server() } + arguments, 30000, &exitCode);
    return exitCode == 0;
}

bool CupsScheduler::fixture(const QStringList &arguments)
{
    int exitCode = -1;
    TestSupport::run(TestSupport::fixture(QStringLiteral("cupsfixture.sh")), arguments, 30000, &exitCode);
    return exitCode == 0;
}
