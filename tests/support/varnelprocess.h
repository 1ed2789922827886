#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

// The real program for end-to-end tests: offscreen, with its own home, configuration, data, state
// and runtime folders and no reachable update service, stopped by its process id. It also ends
// when the test process dies, so a crashed test never leaves its port taken. It serves on
// TestSupport::apiPort().
class VarnelProcess
{
public:
    VarnelProcess();
    ~VarnelProcess();

    // Given to the program at its next start.
    QProcessEnvironment environment;
    QStringList arguments;

    // The program's settings, read and written as the program does.
    void store(const QString &key, const QVariant &value);
    QVariant stored(const QString &key) const;
    QString configDir() const { return m_dir.filePath(QStringLiteral("config")); }
    QString homeDir() const { return m_dir.filePath(QStringLiteral("home")); }
    // Where the program keeps its certificates.
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    // Every line the program has logged, from all its log files.
    QByteArray logged() const;

    // Starts the program and waits for its first heartbeat, written once its listener is built.
    // The heartbeat an earlier run left is cleared first, unless the start is to meet it.
    bool start(bool clearHeartbeat = true);
    void stop();
    bool isRunning() const;
    qint64 pid() const { return m_process->processId(); }
    // Runs the program to its end with these arguments in the same environment; its exit code.
    int run(const QStringList &arguments) const;

    // Settings keys of a print queue's and a USB terminal's enabled flag.
    static QString printerKey(const QString &queue);
    static QString terminalKey(quint16 vendorId, quint16 productId);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
};
