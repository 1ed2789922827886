// Terminal ids from outside through the API's terminal operations into one terminal record, whose
// worker's reports the input plays too. Invariants: the record keeps at most its number of ids and
// never one over the length limit; the point of sale whose command runs is never dropped and reads
// back every text reported during its command, in order, after those of its earlier commands it has
// not read.

#include "oneterminalbackend.h"
#include "printclientrequesthandler.h"
#include "tpa.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A length byte (times 3, so that ids over the limit come up) and that many characters.
QString take(const uint8_t *&data, size_t &size)
{
    if (size == 0)
        return QString();
    const size_t n = std::min<size_t>(size - 1, data[0] * 3);
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data + 1), int(n));
    data += n + 1;
    size -= n + 1;
    return text;
}

// One terminal without a worker: the input plays the worker's reports.
struct Backend : OneTerminalBackend
{
    Backend()
    {
        tpa.reset(new Tpa(
            SerialPortDescription(QStringLiteral("p"), QStringLiteral("p"), QString(), QString(), 0, 0),
            Tpa::NoFamily));
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_terminalids";
    static char *argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Backend backend;
    Tpa &tpa = *backend.tpa;
    bool running = false;
    QString current;
    QStringList reported;

    while (size > 0) {
        const uint8_t op = data[0] % 6;
        ++data;
        --size;
        const QString id = take(data, size);
        QJsonObject result;
        const auto call
            = [&](const char *route) { result = backend.call(route, id, QStringLiteral("1.00")); };
        switch (op) {
        case 0:
            call("/getTpaStatus");
            break;
        case 1:
            call("/getTpaTransactionStatus");
            if (running && id == current)
                check(result.value(QStringLiteral("data")).toVariant().toStringList() == reported);
            break;
        case 2:
            call("/clearTpaTransactionStatus");
            break;
        case 3:
            call("/sendTpaPurchase");
            if (!running
                && result.value(QStringLiteral("data")).toString().startsWith(QLatin1String("VRL0000"))) {
                tpa.onInTransactionChanged(true);
                running = true;
                current = id;
                // Texts of an earlier command not yet read stay ahead of this one's.
                reported = tpa.lastTransactionStatus(id);
            }
            break;
        case 4:
            tpa.onTransactionStatus(id);
            if (running)
                reported << id;
            break;
        case 5:
            tpa.onInTransactionChanged(false);
            running = false;
            break;
        }
        // Only the id a route was given can have been added, and a new one goes last: its place
        // bounds how many are kept.
        const int index = tpa.terminalTpaIndex(id);
        check(Tpa::isValidTerminalId(id) ? index < Tpa::maxTerminalIds : index == -1);
        check(!running || tpa.terminalTpaIndex(current) >= 0);
    }
    return 0;
}
