// Cost of a new TLS connection to the real program's API, handshake included: each sample opens a
// TCP connection to 127.0.0.1:5080, completes the TLS handshake, sends GET /getStatus with the key
// and reads the whole reply. Also times the generation of the two key types a server certificate
// could use.
//   bench_tlsconnect VARNEL_BINARY [CONNECTIONS]     (default 2000; port 5080 must be free)
// Starts the program with throw-away home, configuration and data folders and stops it by its
// process id. Run it with an older binary for a before/after comparison.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

const QByteArray key = "Bench+Tls/1v4.0";

int connectLoopback()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(5080);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One new connection, one request, the whole reply. Returns milliseconds, or -1 on failure.
double oneConnection(SSL_CTX *context, const QByteArray &request)
{
    QElapsedTimer timer;
    timer.start();
    const int fd = connectLoopback();
    if (fd < 0)
        return -1;
    SSL *ssl = SSL_new(context);
    SSL_set_fd(ssl, fd);
    SSL_set_tlsext_host_name(ssl, "localhost");
    QByteArray reply;
    bool complete = false;
    if (SSL_connect(ssl) == 1 && SSL_write(ssl, request.constData(), request.size()) == request.size()) {
        char buffer[4096];
        int n;
        while (!complete && (n = SSL_read(ssl, buffer, sizeof buffer)) > 0) {
            reply.append(buffer, n);
            const int head = reply.indexOf("\r\n\r\n");
            const int lengthAt = reply.indexOf("Content-Length: ");
            if (head > 0 && lengthAt > 0 && lengthAt < head)
                complete
                    = reply.size() >= head + 4 + reply.mid(lengthAt + 16, 12).split('\r').first().toInt();
        }
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    SSL_free(ssl);
    ::close(fd);
    return complete && reply.startsWith("HTTP/1.1 200") && reply.contains("Device online") ? ms : -1;
}

// CPU time the process has used, user and system, in milliseconds: what a connection costs the
// program, whatever else the machine is doing meanwhile.
double cpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0
        / double(::sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(double(values.size()) * p)));
}

void timeKeyGeneration()
{
    for (const auto &[name, make] : std::vector<std::pair<const char *, EVP_PKEY *(*)()>> {
             { "ECDSA P-256", [] { return EVP_EC_gen("P-256"); } },
             { "RSA 2048", [] { return EVP_RSA_gen(2048); } } }) {
        std::vector<double> times;
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer timer;
            timer.start();
            EVP_PKEY_free(make());
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("key generation %-12s p50 %8.2f ms  max %8.2f ms\n", name, percentile(times, 0.5),
            percentile(times, 1.0));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_tlsconnect VARNEL_BINARY [CONNECTIONS]\n");
        return 2;
    }
    const int count = argc > 2 ? std::atoi(argv[2]) : 2000;
    timeKeyGeneration();

    QTemporaryDir dir;
    for (const char *folder : { "home", "config/Tesmar", "data", "runtime" })
        QDir().mkpath(dir.filePath(QString::fromLatin1(folder)));
    QFile settings(dir.filePath(QStringLiteral("config/Tesmar/Varnel.conf")));
    if (!settings.open(QIODevice::WriteOnly) || settings.write("[General]\nsecurityKey=" + key + "\n") < 0)
        return 1;
    settings.close();
    QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    environment.insert(QStringLiteral("VARNEL_UPDATE_URL"), QStringLiteral("https://127.0.0.1:1"));
    QProcess varnel;
    varnel.setProcessEnvironment(environment);
    varnel.setStandardOutputFile(QProcess::nullDevice());
    varnel.setStandardErrorFile(QProcess::nullDevice());
    varnel.start(QString::fromLocal8Bit(argv[1]), QStringList());
    if (!varnel.waitForStarted())
        return 1;

    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
    const QByteArray request = "GET /getStatus HTTP/1.1\r\nHost: localhost:5080\r\nAuthorization: Bearer "
        + key + "\r\nConnection: close\r\n\r\n";

    const QDeadlineTimer ready(20000);
    while (oneConnection(context, request) < 0 && !ready.hasExpired())
        QThread::msleep(50);
    std::vector<double> times;
    int failures = 0;
    for (int i = 0; i < 100; ++i)
        oneConnection(context, request);
    const double cpuBefore = cpuMs(varnel.processId());
    for (int i = 0; i < count; ++i) {
        const double ms = oneConnection(context, request);
        if (ms < 0)
            ++failures;
        else
            times.push_back(ms);
    }
    const double cpuPerConnection = (cpuMs(varnel.processId()) - cpuBefore) / count;
    ::kill(pid_t(varnel.processId()), SIGTERM);
    varnel.waitForFinished(5000);
    SSL_CTX_free(context);
    if (times.empty()) {
        std::fprintf(stderr, "bench_tlsconnect: no connection succeeded\n");
        return 1;
    }
    std::printf("new TLS connection + GET /getStatus: %zu connections, %d failed, p50 %.2f ms, p99 %.2f ms, "
                "max %.2f ms (goal p99 < 5 ms); the program's CPU time %.2f ms per connection\n",
        times.size(), failures, percentile(times, 0.5), percentile(times, 0.99), percentile(times, 1.0),
        cpuPerConnection);
    return failures == 0 ? 0 : 1;
}
