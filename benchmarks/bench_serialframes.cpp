// Receive-path throughput of the terminal workers: framed replies parsed, checked, acknowledged
// and reported, with no port in the way. Prints frames per second and MB/s per family.

#include "tpaworkeringenico.h"
#include "tpaworkernewnote.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>

#include <cstdio>
#include <memory>

namespace {

class Sink : public QIODevice
{
public:
    Sink() { open(QIODevice::ReadWrite); }

protected:
    qint64 readData(char *, qint64) override { return 0; }
    qint64 writeData(const char *, qint64 size) override { return size; }
};

void measure(const char *name, TpaWorker &worker, const QByteArray &frame)
{
    Sink sink;
    worker.startOnDevice(&sink);
    int reported = 0;
    QObject::connect(&worker, &TpaWorker::transactionStatusReported, [&](const QString &) { ++reported; });
    const int framesPerChunk = 64;
    QByteArray chunk;
    for (int i = 0; i < framesPerChunk; ++i)
        chunk += frame;
    const int chunks = 20000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < chunks; ++i)
        worker.receiveBytes(chunk);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double frames = double(chunks) * framesPerChunk;
    std::printf("%-9s %8.0f frames/s  %6.1f MB/s  (%d reported)\n", name, frames / seconds,
        frames * frame.size() / seconds / 1e6, reported);
}

QByteArray frameOf(const QByteArray &prefix, const QByteArray &message, const QByteArray &trailer)
{
    const QByteArray body = message + trailer;
    return prefix + body + TpaWorker::getLRC(body);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QByteArray reply = "P0510000001250000123 APROVADO";
    TpaWorkerIngenico ingenico((QString()));
    measure("ingenico", ingenico, frameOf("\x02", reply, "\x03"));
    TpaWorkerNewnote newnote((QString()));
    const QByteArray emv
        = QByteArray::fromHex("9f1c08") + "TPA00001" + QByteArray::fromHex("9a06") + "240131";
    measure("newnote", newnote, frameOf("\x10\x02", "C0000000001250" + emv, "\x10\x03"));
    return 0;
}
