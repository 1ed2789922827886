#include "startup.h"
#include "testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The real program, started offscreen with its own home and configuration folders.
class tst_Varnel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstStartWritesKeyAndAutostartEntry();
    void secondStartHandsOverToRunningInstance();
    void staleHeartbeatStartsNormally();

private:
    QProcessEnvironment environment() const;
    QProcess *start();
    QVariant stored(const QString &key) const;
    void store(const QString &key, const QVariant &value) const;
    QString configFile() const { return m_dir->path() + QStringLiteral("/config/Tesmar/Varnel.conf"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QProcess *> m_processes;
};

void tst_Varnel::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void tst_Varnel::cleanup()
{
    for (QProcess *process : m_processes) {
        ::kill(pid_t(process->processId()), SIGCONT);
        TestSupport::stopPid(process->processId());
        process->waitForFinished();
        delete process;
    }
    m_processes.clear();
}

QProcessEnvironment tst_Varnel::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_dir->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir->path());
    env.remove(QStringLiteral("XDG_STATE_HOME"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    env.insert(QStringLiteral("VARNEL_UPDATE_URL"), QStringLiteral("https://127.0.0.1:1"));
    return env;
}

QProcess *tst_Varnel::start()
{
    auto process = new QProcess;
    process->setProcessEnvironment(environment());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QStringLiteral(VARNEL_BINARY), QStringList());
    m_processes << process;
    process->waitForStarted();
    return process;
}

QVariant tst_Varnel::stored(const QString &key) const
{
    QSettings settings(configFile(), QSettings::IniFormat);
    return settings.value(key);
}

void tst_Varnel::store(const QString &key, const QVariant &value) const
{
    QSettings settings(configFile(), QSettings::IniFormat);
    settings.setValue(key, value);
}

void tst_Varnel::firstStartWritesKeyAndAutostartEntry()
{
    QProcess *varnel = start();
    QTRY_VERIFY_WITH_TIMEOUT(stored(QStringLiteral("kicked")).isValid(), 20000);
    const QString key = stored(QStringLiteral("securityKey")).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9+/]{8}v4\\.0$")).match(key).hasMatch(),
        qPrintable(key));
    QCOMPARE(stored(QStringLiteral("serverActive")).toBool(), true);

    QFile entry(m_dir->path() + QStringLiteral("/config/autostart/varnel.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().contains("Exec=\""));
    QCOMPARE(varnel->state(), QProcess::Running);
}

void tst_Varnel::secondStartHandsOverToRunningInstance()
{
    QProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(stored(QStringLiteral("kicked")).isValid(), 20000);

    // Catch a fresh heartbeat, then start the second instance one second after it, well
    // before the next one: the second instance must see a heartbeat 1 to 5 seconds old.
    const qint64 seen = stored(QStringLiteral("kicked")).toLongLong();
    QTRY_VERIFY_WITH_TIMEOUT(stored(QStringLiteral("kicked")).toLongLong() != seen, 10000);
    const qint64 kicked = stored(QStringLiteral("kicked")).toLongLong();
    QTRY_VERIFY_WITH_TIMEOUT(Startup::localEpochSecond() >= kicked + 1, 3000);

    // The running instance takes the request, and only then does the second start give way.
    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(QStringLiteral(VARNEL_BINARY), QStringList());
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(stored(QStringLiteral("showWindow")).toBool(), false);
    QCOMPARE(first->state(), QProcess::Running);
}

void tst_Varnel::staleHeartbeatStartsNormally()
{
    // A heartbeat from a crashed instance long ago does not stop the start.
    store(QStringLiteral("kicked"), QString::number(Startup::localEpochSecond() - 60));
    QProcess *varnel = start();
    QTRY_VERIFY_WITH_TIMEOUT(
        stored(QStringLiteral("kicked")).toLongLong() >= Startup::localEpochSecond() - 1, 20000);
    QCOMPARE(varnel->state(), QProcess::Running);
    QVERIFY(!stored(QStringLiteral("showWindow")).toBool());
}

QTEST_GUILESS_MAIN(tst_Varnel)
#include "tst_varnel.moc"
