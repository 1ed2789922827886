#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

class QProcess;

// The real program for end-to-end tests: started offscreen with its own home, configuration and
// runtime folders and no reachable update service, and stopped by its process id. It also ends
// when the test process dies, so a crashed test never leaves port 5080 taken.
class VarnelProcess
{
public:
    static constexpr quint16 apiPort = 5080;

    VarnelProcess();
    ~VarnelProcess();
    VarnelProcess(const VarnelProcess &) = delete;
    VarnelProcess &operator=(const VarnelProcess &) = delete;

    // Added to the program's environment at the next start.
    void setEnvironment(const QString &name, const QString &value);

    // The program's settings file, read and written as the program does (before a start, or to
    // read what it wrote).
    QString configFile() const;
    void store(const QString &key, const QVariant &value);
    QVariant stored(const QString &key) const;
    void remove(const QString &key);

    // Starts the program and waits until its start-up is over (the first heartbeat, written after
    // the listener has been built). Waits first, up to waitForPortMs, for port 5080 to be free, and
    // starts again when another program took the port meanwhile (other test suites may use it).
    bool start(int timeoutMs = 20000, int waitForPortMs = 60000);
    void stop();
    bool isRunning() const;
    qint64 pid() const;
    // What the program wrote on standard output and error.
    QByteArray log() const;
    QString home() const;
    // XDG_DATA_HOME of the program, where it keeps its certificates.
    QString dataHome() const;
    // Runs the program to its end with these arguments and the same environment; its exit status.
    int run(const QStringList &arguments);

    // Whether the program itself (not another process) has a listening socket on the port.
    bool listensOn(quint16 port = apiPort) const;
    // Whether something accepts TCP connections on 127.0.0.1:port right now.
    static bool isListening(quint16 port = apiPort);
    // Settings keys of a print queue's and a USB terminal's enabled flag, computed independently.
    static QString printerKey(const QString &queue);
    static QString terminalKey(quint16 vendorId, quint16 productId);

private:
    bool launch(int timeoutMs);

    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
    std::unique_ptr<QProcess> m_process;
};
