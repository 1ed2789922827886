// Throughput, latency, memory and connection set-up of the embedded HTTP server, measured with
// wrk over keep-alive connections on 127.0.0.1, plain and TLS, with nginx serving the same
// bytes in the same run as the reference. Needs openssl, wrk and nginx on the PATH (or in
// /usr/sbin). BENCH_SECONDS sets the length of each wrk run (default 10).
#include "httplistener.h"
#include "httprequest.h"
#include "httprequesthandler.h"
#include "httpresponse.h"
#include "httpserverconfig.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QByteArray json
    = R"({"status":true,"data":{"printers":["EPSON_TM-T20II","Star_TSP143"],"version":"4.1.0","ok":1}})";

class FixedJsonHandler : public HttpRequestHandler
{
public:
    void service(HttpRequest &, HttpResponse &response) override
    {
        response.setHeader("Content-Type", "application/json");
        response.write(json, true);
        served.fetchAndAddRelaxed(1);
    }

    QAtomicInteger<qint64> served = 0;
};

struct WrkResult
{
    double requestsPerSecond = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    bool ok = false;
};

QString findProgram(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, { "/usr/sbin", "/usr/local/sbin" });
    return path;
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Runs a program while this thread's event loop keeps serving the listener.
QByteArray runWithEventLoop(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    QObject::connect(
        &process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    process.start(program, arguments);
    loop.exec();
    return process.readAll();
}

double toMs(const QString &value, const QString &unit)
{
    const double number = value.toDouble();
    if (unit == "us")
        return number / 1000;
    if (unit == "s")
        return number * 1000;
    return number;
}

WrkResult runWrk(const QString &wrk, const QString &url, int connections, int seconds)
{
    const QString threads = QString::number(qMin(connections, 2));
    const QByteArray output = runWithEventLoop(wrk,
        { "-t", threads, "-c", QString::number(connections), "-d", QString::number(seconds) + "s",
            "--latency", url });
    WrkResult result;
    const QString text = QString::fromLatin1(output);
    const QRegularExpression rps("Requests/sec:\\s+([0-9.]+)");
    const QRegularExpression p50("\\s50%\\s+([0-9.]+)(us|ms|s)");
    const QRegularExpression p99("\\s99%\\s+([0-9.]+)(us|ms|s)");
    const auto rpsMatch = rps.match(text);
    const auto p50Match = p50.match(text);
    const auto p99Match = p99.match(text);
    if (!rpsMatch.hasMatch() || !p50Match.hasMatch() || !p99Match.hasMatch() || text.contains("Non-2xx")
        || text.contains("Socket errors")) {
        std::fprintf(stderr, "wrk %s:\n%s\n", qPrintable(url), output.constData());
        return result;
    }
    result.requestsPerSecond = rpsMatch.captured(1).toDouble();
    result.p50Ms = toMs(p50Match.captured(1), p50Match.captured(2));
    result.p99Ms = toMs(p99Match.captured(1), p99Match.captured(2));
    result.ok = true;
    return result;
}

qint64 residentKb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Opens a new connection per request ("Connection: close"), TLS handshake included, from a
// thread of its own; returns the milliseconds from connect to the complete reply.
class ConnectionTimer : public QThread
{
public:
    ConnectionTimer(quint16 port, bool tls, int count)
        : port(port)
        , tls(tls)
        , count(count)
    {
    }

    std::vector<double> timings;
    int failures = 0;

private:
    void run() override
    {
        for (int i = 0; i < count; ++i) {
            QSslSocket socket;
            socket.setPeerVerifyMode(QSslSocket::VerifyNone);
            QElapsedTimer timer;
            timer.start();
            if (tls) {
                socket.connectToHostEncrypted("127.0.0.1", port);
                if (!socket.waitForEncrypted(5000)) {
                    ++failures;
                    continue;
                }
            } else {
                socket.connectToHost("127.0.0.1", port);
                if (!socket.waitForConnected(5000)) {
                    ++failures;
                    continue;
                }
            }
            socket.write("GET / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
            QByteArray reply;
            while (!reply.endsWith(json) && socket.waitForReadyRead(5000))
                reply += socket.readAll();
            if (!reply.endsWith(json)) {
                ++failures;
                continue;
            }
            timings.push_back(timer.nsecsElapsed() / 1e6);
            socket.disconnectFromHost();
        }
    }

    quint16 port;
    bool tls;
    int count;
};

std::vector<double> timeNewConnections(quint16 port, bool tls, int count, int *failures)
{
    ConnectionTimer timer(port, tls, count);
    QEventLoop loop;
    QObject::connect(&timer, &QThread::finished, &loop, &QEventLoop::quit);
    timer.start();
    loop.exec();
    *failures = timer.failures;
    std::sort(timer.timings.begin(), timer.timings.end());
    return timer.timings;
}

double percentile(const std::vector<double> &sorted, double fraction)
{
    if (sorted.empty())
        return 0;
    return sorted[std::min(sorted.size() - 1, size_t(fraction * double(sorted.size())))];
}

// The program's server configuration, on 127.0.0.1 at a port of the system's choice.
HttpServerConfig serverConfig(const QTemporaryDir &dir, bool tls)
{
    HttpServerConfig config;
    config.addresses = { QHostAddress(QHostAddress::LocalHost) };
    config.port = 0;
    if (tls) {
        config.sslKeyFile = dir.filePath("bench.key");
        config.sslCertFile = dir.filePath("bench.cert");
    }
    return config;
}

bool startNginx(
    const QString &nginx, const QTemporaryDir &dir, quint16 plainPort, quint16 tlsPort, QProcess *process)
{
    const QString root = dir.path();
    for (const char *folder : { "body", "proxy", "fastcgi", "uwsgi", "scgi" })
        QDir(root).mkpath(folder);
    QFile config(dir.filePath("nginx.conf"));
    config.open(QIODevice::WriteOnly);
    config.write(
        QStringLiteral("worker_processes auto;\n"
                       "pid %1/nginx.pid;\n"
                       "error_log %1/error.log;\n"
                       "events { worker_connections 1024; }\n"
                       "http {\n"
                       "  access_log off;\n"
                       "  client_body_temp_path %1/body; proxy_temp_path %1/proxy;\n"
                       "  fastcgi_temp_path %1/fastcgi; uwsgi_temp_path %1/uwsgi; scgi_temp_path %1/scgi;\n"
                       "  keepalive_requests 100000000;\n"
                       "  server {\n"
                       "    listen 127.0.0.1:%2;\n"
                       "    listen 127.0.0.1:%3 ssl;\n"
                       "    ssl_certificate %1/bench.cert;\n"
                       "    ssl_certificate_key %1/bench.key;\n"
                       "    ssl_protocols TLSv1.2 TLSv1.3;\n"
                       "    location / { default_type application/json; return 200 '%4'; }\n"
                       "  }\n"
                       "}\n")
            .arg(root)
            .arg(plainPort)
            .arg(tlsPort)
            .arg(QString::fromLatin1(json))
            .toUtf8());
    config.close();
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(nginx, { "-p", root, "-c", config.fileName(), "-g", "daemon off;" });
    if (!process->waitForStarted(5000))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, plainPort);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Per-request debug lines would measure the terminal, not the server.
    QLoggingCategory::setFilterRules("*.debug=false");
    const int seconds
        = qEnvironmentVariableIsSet("BENCH_SECONDS") ? qEnvironmentVariableIntValue("BENCH_SECONDS") : 10;

    const QString openssl = findProgram("openssl");
    const QString wrk = findProgram("wrk");
    const QString nginx = findProgram("nginx");
    if (openssl.isEmpty() || wrk.isEmpty()) {
        std::fprintf(stderr, "needs openssl and wrk\n");
        return 1;
    }

    QTemporaryDir dir;
    QProcess keygen;
    keygen.setProcessChannelMode(QProcess::MergedChannels);
    keygen.start(openssl,
        { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir.filePath("bench.key"), "-out",
            dir.filePath("bench.cert"), "-days", "2", "-subj", "/CN=localhost" });
    if (!keygen.waitForFinished(60000) || keygen.exitCode() != 0) {
        std::fprintf(stderr, "openssl failed:\n%s\n", keygen.readAll().constData());
        return 1;
    }

    FixedJsonHandler handler;
    HttpListener plainListener(serverConfig(dir, false), &handler);
    HttpListener tlsListener(serverConfig(dir, true), &handler);
    if (!plainListener.isListening() || !tlsListener.isListening()) {
        std::fprintf(stderr, "listeners did not start\n");
        return 1;
    }

    QProcess nginxProcess;
    const quint16 nginxPlain = freePort();
    const quint16 nginxTls = freePort();
    const bool haveNginx = !nginx.isEmpty() && startNginx(nginx, dir, nginxPlain, nginxTls, &nginxProcess);
    if (!haveNginx)
        std::fprintf(stderr, "nginx not available: no reference numbers\n");

    std::printf("body %d bytes of JSON, %d s per run, %d cores\n", int(json.size()), seconds,
        QThread::idealThreadCount());
    std::printf("%-6s %-5s %5s %12s %9s %9s %12s %9s %7s\n", "server", "tls", "conns", "req/s", "p50 ms",
        "p99 ms", "nginx req/s", "nginx p99", "ratio");

    for (const bool tls : { false, true }) {
        for (const int connections : { 1, 8 }) {
            const QString scheme = tls ? "https" : "http";
            const quint16 ours = tls ? tlsListener.serverPort() : plainListener.serverPort();
            const WrkResult varnel = runWrk(
                wrk, QStringLiteral("%1://127.0.0.1:%2/").arg(scheme).arg(ours), connections, seconds);
            WrkResult reference;
            if (haveNginx)
                reference = runWrk(wrk,
                    QStringLiteral("%1://127.0.0.1:%2/").arg(scheme).arg(tls ? nginxTls : nginxPlain),
                    connections, seconds);
            std::printf("%-6s %-5s %5d %12.0f %9.3f %9.3f %12.0f %9.3f %6.0f%%%s\n", "varnel",
                tls ? "yes" : "no", connections, varnel.requestsPerSecond, varnel.p50Ms, varnel.p99Ms,
                reference.requestsPerSecond, reference.p99Ms,
                reference.requestsPerSecond > 0 ? 100 * varnel.requestsPerSecond / reference.requestsPerSecond
                                                : 0.0,
                varnel.ok && (reference.ok || !haveNginx) ? "" : "  (wrk reported errors)");
            std::fflush(stdout);
        }
    }

    // Steady load in runs of the same kind: resident memory after each, against the first.
    std::printf("\nresident memory under 8 keep-alive connections, after a first run as warm-up:\n");
    for (const bool tls : { false, true }) {
        const QString url = QStringLiteral("%1://127.0.0.1:%2/")
                                .arg(tls ? "https" : "http")
                                .arg(tls ? tlsListener.serverPort() : plainListener.serverPort());
        runWrk(wrk, url, 8, seconds);
        const qint64 servedBase = handler.served.loadRelaxed();
        const qint64 rssBase = residentKb();
        qint64 worst = 0;
        std::printf(
            "  %-5s %9d requests  %7lld kB\n", tls ? "tls" : "plain", 0, static_cast<long long>(rssBase));
        while (handler.served.loadRelaxed() - servedBase < 200000) {
            if (!runWrk(wrk, url, 8, seconds).ok)
                break;
            const qint64 rss = residentKb();
            worst = std::max(worst, std::abs(rss - rssBase));
            std::printf("  %-5s %9lld requests  %7lld kB\n", tls ? "tls" : "plain",
                static_cast<long long>(handler.served.loadRelaxed() - servedBase),
                static_cast<long long>(rss));
            std::fflush(stdout);
        }
        std::printf(
            "  %-5s largest change %.1f%%\n", tls ? "tls" : "plain", 100.0 * double(worst) / double(rssBase));
    }

    std::printf("\nnew connection per request (connect, handshake, request, reply), 200 each:\n");
    for (const bool tls : { false, true }) {
        int failures = 0;
        const auto ours = timeNewConnections(
            tls ? tlsListener.serverPort() : plainListener.serverPort(), tls, 200, &failures);
        std::printf("  varnel %-5s p50 %.2f ms  p99 %.2f ms  max %.2f ms  failures %d\n",
            tls ? "tls" : "plain", percentile(ours, 0.5), percentile(ours, 0.99),
            ours.empty() ? 0.0 : ours.back(), failures);
        if (haveNginx) {
            const auto theirs = timeNewConnections(tls ? nginxTls : nginxPlain, tls, 200, &failures);
            std::printf("  nginx  %-5s p50 %.2f ms  p99 %.2f ms  max %.2f ms  failures %d\n",
                tls ? "tls" : "plain", percentile(theirs, 0.5), percentile(theirs, 0.99),
                theirs.empty() ? 0.0 : theirs.back(), failures);
        }
    }

    if (haveNginx) {
        nginxProcess.terminate();
        if (!nginxProcess.waitForFinished(5000)) {
            nginxProcess.kill();
            nginxProcess.waitForFinished();
        }
    }
    return 0;
}
