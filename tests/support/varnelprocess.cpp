#include "varnelprocess.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSettings>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

namespace {

// A child that receives SIGTERM when the test process ends, however it ends.
class OrphanProofProcess : public QProcess
{
protected:
    void setupChildProcess() override { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

} // namespace

VarnelProcess::VarnelProcess()
    : environment(QProcessEnvironment::systemEnvironment())
    , m_process(std::make_unique<OrphanProofProcess>())
{
    const char *const folders[][2] = { { "HOME", "home" }, { "XDG_CONFIG_HOME", "config" },
        { "XDG_DATA_HOME", "data" }, { "XDG_STATE_HOME", "state" }, { "XDG_RUNTIME_DIR", "runtime" } };
    for (const auto &folder : folders) {
        QDir(m_dir.path()).mkdir(QLatin1String(folder[1]));
        environment.insert(QLatin1String(folder[0]), m_dir.filePath(QLatin1String(folder[1])));
    }
    QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    environment.insert(QStringLiteral("VARNEL_UPDATE_URL"), QStringLiteral("http://127.0.0.1:1"));
    environment.insert(QStringLiteral("VARNEL_PORT"), QString::number(TestSupport::apiPort()));
    environment.remove(QStringLiteral("VARNEL_EXTRA_SERIAL_PORTS"));
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
}

VarnelProcess::~VarnelProcess()
{
    stop();
}

void VarnelProcess::store(const QString &key, const QVariant &value)
{
    QSettings(configDir() + QStringLiteral("/Tesmar/Varnel.conf"), QSettings::IniFormat).setValue(key, value);
}

QVariant VarnelProcess::stored(const QString &key) const
{
    return QSettings(configDir() + QStringLiteral("/Tesmar/Varnel.conf"), QSettings::IniFormat).value(key);
}

bool VarnelProcess::start(bool clearHeartbeat)
{
    stop();
    // A heartbeat left by an earlier run would make this start ask that run first.
    const qint64 heartbeat = clearHeartbeat ? 0 : stored(QStringLiteral("kicked")).toLongLong();
    store(QStringLiteral("kicked"), heartbeat);
    m_process->setProcessEnvironment(environment);
    m_process->start(QStringLiteral(VARNEL_BINARY), arguments);
    return m_process->waitForStarted(10000)
        && QTest::qWaitFor(
            [&] { return stored(QStringLiteral("kicked")).toLongLong() != heartbeat || !isRunning(); }, 20000)
        && isRunning();
}

void VarnelProcess::stop()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

int VarnelProcess::run(const QStringList &arguments) const
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral(VARNEL_BINARY), arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit ? process.exitCode()
                                                                                          : -1;
}

QByteArray VarnelProcess::logged() const
{
    QByteArray lines;
    const QDir logs(m_dir.filePath(QStringLiteral("state/varnel")));
    for (const QString &name : logs.entryList({ QStringLiteral("varnel.log*") }, QDir::Files)) {
        QFile file(logs.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            lines += file.readAll();
    }
    return lines;
}

bool VarnelProcess::isRunning() const
{
    return m_process->state() == QProcess::Running;
}

QString VarnelProcess::printerKey(const QString &queue)
{
    return QStringLiteral("printers/")
        + QCryptographicHash::hash(queue.toLatin1(), QCryptographicHash::Sha1).toBase64();
}

QString VarnelProcess::terminalKey(quint16 vendorId, quint16 productId)
{
    const QByteArray ids = QString(QChar(vendorId)).toUtf8() + QString(QChar(productId)).toUtf8();
    return QStringLiteral("tpa/") + QCryptographicHash::hash(ids, QCryptographicHash::Sha1).toBase64();
}
