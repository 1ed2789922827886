// The journal's cost and bounds: the latency of each write through Journal (its thread, a synced
// commit), p50 and p99; then days of a busy shop on a compressed clock through the store, pruned
// every simulated hour, with the file's size, the data kept and the process's memory at the end.
// BENCH_WRITES (default 2000) and BENCH_DAYS (default 100) change the run lengths.
#include "journal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

int setting(const char *name, int fallback)
{
    const int value = qEnvironmentVariableIntValue(name);
    return value > 0 ? value : fallback;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(double(values.size()) * p)));
}

long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray receipt(3000, 'x');
    {
        Journal journal(dir.filePath(QStringLiteral("writes.sqlite")));
        std::vector<double> ms;
        QElapsedTimer timer;
        const auto timed = [&](const std::function<void()> &write) {
            timer.start();
            write();
            ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        };
        const int writes = setting("BENCH_WRITES", 2000);
        for (int i = 0; i < writes; ++i) {
            const QString id = QStringLiteral("r%1").arg(i);
            QByteArray reply;
            timed([&] { journal.claim(QStringLiteral("/sendTpaPurchase"), id, "f", &reply); });
            timed([&] { journal.commandStarted("/dev/ttyACM0", "A", "purchase", "12.50", id); });
            timed([&] { journal.fileText("/dev/ttyACM0", "VRL0000|M00|Comando adicionado com sucesso"); });
            timed([&] { journal.fileText("/dev/ttyACM0", "P05100000012500000123 4111111111111111"); });
            timed([&] { journal.commandEnded("/dev/ttyACM0"); });
            timed([&] { journal.settle(QStringLiteral("/sendTpaPurchase"), id, "{\"status\":true}"); });
            timed([&] { journal.printStarted("Receipt", id, receipt); });
        }
        std::printf("journal write (%zu writes, synced): p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", ms.size(),
            percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
    }

    // A shop's days on a compressed clock: 600 receipts and 300 purchases a day, pruned hourly.
    JournalLimits limits;
    qint64 now = 1767225600000;
    JournalStore store(dir.filePath(QStringLiteral("days.sqlite")), limits, [&] { return now; });
    const int days = setting("BENCH_DAYS", 100);
    const long memoryBefore = peakKilobytes();
    QElapsedTimer clock;
    clock.start();
    for (int hour = 0; hour < days * 24; ++hour) {
        for (int i = 0; i < 25; ++i) {
            now += 3600 * 1000 / 40;
            store.printStarted("Receipt", QString(), receipt);
            if (i % 2 == 0) {
                store.commandStarted("/dev/ttyACM0", "A", "purchase", "12.50", QString());
                store.fileText("/dev/ttyACM0", "VRL0000|M00|Comando adicionado com sucesso");
                store.fileText("/dev/ttyACM0", "P05100000012500000123");
                store.commandEnded("/dev/ttyACM0");
            }
        }
        store.prune();
        if ((hour + 1) % (24 * 30) == 0)
            std::printf("day %d: data %.1f MB, file %.1f MB\n", (hour + 1) / 24,
                double(store.usedBytes()) / 1e6,
                double(QFileInfo(dir.filePath(QStringLiteral("days.sqlite"))).size()) / 1e6);
    }
    bool more = false;
    const int kept = store.entries(now - limits.keepMs, now, QString(), 1000000, &more).size();
    std::printf("%d days in %.1f s: data %.1f MB (bound %.0f MB), file %.1f MB, entries kept %d, "
                "integrity %s, peak memory %ld -> %ld kB\n",
        days, double(clock.elapsed()) / 1000, double(store.usedBytes()) / 1e6,
        double(limits.maxFileBytes) / 1e6,
        double(QFileInfo(dir.filePath(QStringLiteral("days.sqlite"))).size()) / 1e6, kept,
        store.integrityOk() ? "ok" : "FAILED", memoryBefore, peakKilobytes());
    return 0;
}
