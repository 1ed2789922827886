// The journal's cost and bounds: the latency of each write through Journal (a commit to the
// write-ahead log), p50 and p99, from one thread and from four at once; then days of a busy shop on a
// compressed clock through the store, pruned every simulated hour, with the data kept, the file's and the
// log's size and the process's memory after the first day, the first week, the day after it and every 30
// days. BENCH_WRITES (default 2000) and BENCH_DAYS (default 100) change the run lengths.
#include "journal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

using Write = std::function<void(JournalStore &)>;

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

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * 4;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray receipt(3000, 'x');
    const int writes = setting("BENCH_WRITES", 2000);
    // The writes of a purchase and of a receipt, each one transaction, through `via`; their times
    // in ms. `port` keeps the commands of callers writing at once apart.
    const auto cycle = [&](const QString &port, int count, const std::function<void(const Write &)> &via) {
        std::vector<double> ms;
        QElapsedTimer timer;
        const auto write = [&](const Write &call) {
            timer.start();
            via(call);
            ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        };
        for (int i = 0; i < count; ++i) {
            const QString id = port + QStringLiteral("r%1").arg(i);
            QByteArray reply;
            bool same = false;
            qint64 entry = 0;
            write([&](JournalStore &store) { store.claim("/sendTpaPurchase", id, "f", &reply, &same); });
            write([&](JournalStore &store) { store.commandStarted(port, "A", "purchase", "12.50", id); });
            write([&](JournalStore &store) {
                store.fileText(port, "VRL0000|M00|Comando adicionado com sucesso");
            });
            write(
                [&](JournalStore &store) { store.fileText(port, "P05100000012500000123 4111111111111111"); });
            write([&](JournalStore &store) { store.commandEnded(port); });
            write([&](JournalStore &store) { store.settle("/sendTpaPurchase", id, "{\"status\":true}"); });
            write([&](JournalStore &store) { entry = store.printStarted("Receipt", id, receipt); });
            write([&](JournalStore &store) { store.printEnded(entry, i + 1, "Job completed successfully"); });
        }
        return ms;
    };
    const auto report = [](const char *name, const std::vector<double> &ms) {
        std::printf("%s (%zu writes): p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", name, ms.size(),
            percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
    };
    {
        Journal journal(dir.filePath(QStringLiteral("writes.sqlite")));
        report("journal write",
            cycle(QStringLiteral("/dev/ttyACM0"), writes, [&](const Write &call) { journal.run(call); }));
    }
    {
        // Four threads writing at once, each on a port of its own: what waiting for the journal's
        // lock adds.
        Journal journal(dir.filePath(QStringLiteral("shared.sqlite")));
        std::vector<double> all;
        QMutex allLock;
        std::vector<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads.push_back(QThread::create([&, t] {
                const std::vector<double> ms = cycle(QStringLiteral("/dev/ttyACM%1").arg(t), writes / 4,
                    [&](const Write &call) { journal.run(call); });
                QMutexLocker locker(&allLock);
                all.insert(all.end(), ms.begin(), ms.end());
            }));
            threads.back()->start();
        }
        for (QThread *thread : threads) {
            thread->wait();
            delete thread;
        }
        report("journal write, four threads at once", all);
    }
    {
        // The same on the store alone, without the journal's lock.
        JournalStore store(dir.filePath(QStringLiteral("direct.sqlite")));
        int prunedAt = 0;
        report("store write", cycle(QStringLiteral("/dev/ttyACM0"), writes, [&](const Write &call) {
            call(store);
            if (store.commits() - prunedAt >= JournalStore::pruneEvery) {
                prunedAt = store.commits();
                store.prune();
            }
        }));
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
            now += 3600 * 1000 / 25;
            store.printStarted("Receipt", QString(), receipt);
            if (i % 2 == 0) {
                store.commandStarted("/dev/ttyACM0", "A", "purchase", "12.50", QString());
                store.fileText("/dev/ttyACM0", "VRL0000|M00|Comando adicionado com sucesso");
                store.fileText("/dev/ttyACM0", "P05100000012500000123");
                store.commandEnded("/dev/ttyACM0");
            }
        }
        store.prune();
        const int day = (hour + 1) / 24;
        if ((hour + 1) % 24 == 0 && (day == 1 || day == 7 || day == 8 || day % 30 == 0))
            std::printf("day %d: data %.1f MB, file %.1f MB, wal %.1f MB, resident %ld kB\n", day,
                double(store.usedBytes()) / 1e6,
                double(QFileInfo(dir.filePath(QStringLiteral("days.sqlite"))).size()) / 1e6,
                double(QFileInfo(dir.filePath(QStringLiteral("days.sqlite-wal"))).size()) / 1e6,
                residentKilobytes());
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
