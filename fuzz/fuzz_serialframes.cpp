// Arbitrary byte streams into both terminal workers' receive path, interleaved with commands,
// time-outs and serial errors. Invariants: a transaction starts only when none runs and ends
// only when one runs, a held command never coexists with a running one, and every start is
// matched by exactly one end once the last time-out has fired.

#include "tpaworkeringenico.h"
#include "tpaworkernewnote.h"

#include <QCoreApplication>
#include <QIODevice>

#include <cstdint>
#include <cstdlib>
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

void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray take(const uint8_t *&data, size_t &size)
{
    if (size == 0)
        return QByteArray();
    size_t n = std::min<size_t>(size - 1, data[0] % 40);
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), int(n));
    data += n + 1;
    size -= n + 1;
    return bytes;
}

QByteArray frame(bool ingenico, const QByteArray &message)
{
    const QByteArray body = ingenico ? message + TpaWorker::ETX : message + TpaWorker::DLE + TpaWorker::ETX;
    return (ingenico ? QByteArray(1, TpaWorker::STX) : QByteArray("\x10\x02")) + body
        + TpaWorker::getLRC(body);
}

void run(bool ingenico, const uint8_t *data, size_t size)
{
    std::unique_ptr<TpaWorker> worker;
    if (ingenico)
        worker = std::make_unique<TpaWorkerIngenico>(QString());
    else
        worker = std::make_unique<TpaWorkerNewnote>(QString());
    int starts = 0;
    int ends = 0;
    bool running = false;
    QObject::connect(worker.get(), &TpaWorker::inTransactionChanged, [&](bool flag) {
        check(flag != running);
        running = flag;
        ++(flag ? starts : ends);
    });
    Sink sink;
    worker->startOnDevice(&sink);

    while (size > 0) {
        const uint8_t op = data[0] % 8;
        ++data;
        --size;
        switch (op) {
        case 0:
            worker->receiveBytes(take(data, size));
            break;
        case 1:
            worker->receiveBytes(frame(ingenico, take(data, size)));
            break;
        case 2:
            worker->setNewCommand(take(data, size));
            break;
        case 3:
            worker->transactionTimeout();
            break;
        case 4:
            worker->loopStatusCheck();
            break;
        case 5:
            worker->errorOccurred(QSerialPort::TimeoutError);
            break;
        case 6:
            worker->errorOccurred(QSerialPort::ResourceError);
            break;
        case 7:
            worker->errorOccurred(QSerialPort::ParityError);
            break;
        }
        check(worker->isInTransaction() == running);
        check(worker->pending().isEmpty() || !running);
    }
    if (running)
        worker->transactionTimeout();
    check(!worker->isInTransaction() && starts == ends);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_serialframes";
    static char *argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    run(true, data, size);
    run(false, data, size);
    return 0;
}
