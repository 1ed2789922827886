// What many distinct "terminal_tpa_id" values cost a terminal: the time of one "/getTpaStatus" through
// the API's handler (in-process, no HTTP) with one id, after 20,000 distinct ids, and for a new id each
// time; and the memory kept after 200 calls with distinct 1 MB ids. The terminal is a virtual serial
// port without a worker, so the numbers are the API's and the record's own; the record is also timed
// alone.
#include "oneterminalbackend.h"
#include "printclientrequesthandler.h"
#include "tpa.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

// Microseconds per call of `ids(i)` over `calls` calls.
template<typename Ids> double timePerCall(OneTerminalBackend &backend, int calls, Ids ids)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < calls; ++i)
        backend.call("/getTpaStatus", ids(i));
    return timer.nsecsElapsed() / 1e3 / calls;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTemporaryDir dir;
    const QString port = dir.filePath(QStringLiteral("tpa"));
    QFile device(port);
    device.open(QIODevice::WriteOnly);
    qputenv("VARNEL_EXTRA_SERIAL_PORTS", (port + QStringLiteral("@079b:0001")).toUtf8());

    OneTerminalBackend backend;
    backend.tpa.reset(
        new Tpa(SerialPortDescription(port, port, QString(), QString(), 0x079B, 1), Tpa::NoFamily));

    const QString pos = QStringLiteral("caixa-1");
    std::printf(
        "one id:                 %8.1f us per call\n", timePerCall(backend, 2000, [&](int) { return pos; }));
    const double distinct = timePerCall(backend, 20000, [](int i) { return QString::number(i); });
    std::printf("20,000 distinct ids:    %8.1f us per call (each new)\n", distinct);
    std::printf(
        "after them, one id:     %8.1f us per call\n", timePerCall(backend, 2000, [&](int) { return pos; }));

    // The record alone, without the API around it.
    Tpa &tpa = *backend.tpa;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20000; ++i)
        tpa.lastStatus(QStringLiteral("r") + QString::number(i));
    std::printf("record, 20,000 new ids: %8.1f us per call\n", timer.nsecsElapsed() / 1e3 / 20000);
    const QString last = QStringLiteral("r19999");
    timer.restart();
    for (int i = 0; i < 20000; ++i)
        tpa.lastStatus(last);
    std::printf("record, then the last:  %8.1f us per call\n", timer.nsecsElapsed() / 1e3 / 20000);

    const double before = residentMB();
    const QString big(1024 * 1024, QLatin1Char('x'));
    timePerCall(backend, 200, [&](int i) { return QString::number(i) + big; });
    std::printf("200 distinct 1 MB ids:  %8.1f MB kept\n", residentMB() - before);
    return 0;
}
