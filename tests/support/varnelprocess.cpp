#include "varnelprocess.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSettings>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// A child that receives SIGTERM when the test process ends, however it ends.
class OrphanProofProcess : public QProcess
{
protected:
    void setupChildProcess() override { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

} // namespace

VarnelProcess::VarnelProcess()
    : m_environment(QProcessEnvironment::systemEnvironment())
{
    const QString root = m_dir.path();
    QDir().mkpath(root + QStringLiteral("/home"));
    QDir().mkpath(root + QStringLiteral("/config"));
    QDir().mkpath(root + QStringLiteral("/runtime"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_environment.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    m_environment.remove(QStringLiteral("XDG_STATE_HOME"));
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    m_environment.insert(QStringLiteral("VARNEL_UPDATE_URL"), QStringLiteral("https://127.0.0.1:1"));
    m_environment.remove(QStringLiteral("VARNEL_EXTRA_SERIAL_PORTS"));
}

VarnelProcess::~VarnelProcess()
{
    stop();
}

void VarnelProcess::setEnvironment(const QString &name, const QString &value)
{
    m_environment.insert(name, value);
}

QString VarnelProcess::configFile() const
{
    return m_dir.path() + QStringLiteral("/config/Tesmar/Varnel.conf");
}

QString VarnelProcess::home() const
{
    return m_dir.path() + QStringLiteral("/home");
}

void VarnelProcess::store(const QString &key, const QVariant &value)
{
    QSettings settings(configFile(), QSettings::IniFormat);
    settings.setValue(key, value);
}

QVariant VarnelProcess::stored(const QString &key) const
{
    QSettings settings(configFile(), QSettings::IniFormat);
    return settings.value(key);
}

void VarnelProcess::remove(const QString &key)
{
    QSettings settings(configFile(), QSettings::IniFormat);
    settings.remove(key);
}

bool VarnelProcess::start(int timeoutMs, int waitForPortMs)
{
    const QDeadlineTimer portDeadline(waitForPortMs);
    for (;;) {
        stop();
        while (isListening()) {
            if (portDeadline.hasExpired()) {
                qWarning("port %d stays taken by another program", apiPort);
                return false;
            }
            QThread::msleep(100);
        }
        if (!launch(timeoutMs))
            return false;
        if (!stored(QStringLiteral("serverActive")).toBool() || listensOn(apiPort))
            return true;
        if (portDeadline.hasExpired()) {
            qWarning("another program took port %d while varnel started", apiPort);
            return false;
        }
    }
}

bool VarnelProcess::launch(int timeoutMs)
{
    // A heartbeat left by an earlier run would make this start hand over to it and exit.
    remove(QStringLiteral("kicked"));
    remove(QStringLiteral("showWindow"));

    m_process = std::make_unique<OrphanProofProcess>();
    m_process->setProcessEnvironment(m_environment);
    m_process->setStandardOutputFile(m_dir.filePath(QStringLiteral("varnel.log")), QIODevice::Append);
    m_process->setStandardErrorFile(m_dir.filePath(QStringLiteral("varnel.log")), QIODevice::Append);
    m_process->start(QStringLiteral(VARNEL_BINARY), QStringList());
    if (!m_process->waitForStarted(timeoutMs))
        return false;

    const QDeadlineTimer deadline(timeoutMs);
    while (!stored(QStringLiteral("kicked")).isValid()) {
        if (deadline.hasExpired() || m_process->state() != QProcess::Running) {
            qWarning("varnel did not start:\n%s", log().constData());
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

void VarnelProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        TestSupport::stopPid(m_process->processId());
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

bool VarnelProcess::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

qint64 VarnelProcess::pid() const
{
    return m_process ? m_process->processId() : 0;
}

QByteArray VarnelProcess::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("varnel.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool VarnelProcess::listensOn(quint16 port) const
{
    if (!isRunning())
        return false;
    // Inodes of the sockets listening on the port, from the kernel's tables...
    QSet<QByteArray> listening;
    for (const char *table : { "/proc/net/tcp", "/proc/net/tcp6" }) {
        QFile file { QString::fromLatin1(table) };
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine();
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 9 && fields.at(3) == "0A"
                && fields.at(1).endsWith(':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0')))
                listening.insert(fields.at(9));
        }
    }
    // ...and whether one of them is open in the program.
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(pid()));
    for (const QString &name :
        descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char buffer[64] = {};
        const QByteArray path = QFile::encodeName(descriptors.filePath(name));
        const ssize_t length = ::readlink(path.constData(), buffer, sizeof buffer - 1);
        const QByteArray target(buffer, length > 0 ? int(length) : 0);
        if (target.startsWith("socket:[") && listening.contains(target.mid(8, target.size() - 9)))
            return true;
    }
    return false;
}

bool VarnelProcess::isListening(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return socket.waitForConnected(1000);
}

QString VarnelProcess::printerKey(const QString &queue)
{
    return QStringLiteral("printers/")
        + QString::fromLatin1(
            QCryptographicHash::hash(queue.toLatin1(), QCryptographicHash::Sha1).toBase64());
}

QString VarnelProcess::terminalKey(quint16 vendorId, quint16 productId)
{
    const QByteArray material = QString(QChar(vendorId)).toUtf8() + QString(QChar(productId)).toUtf8();
    return QStringLiteral("tpa/")
        + QString::fromLatin1(QCryptographicHash::hash(material, QCryptographicHash::Sha1).toBase64());
}
