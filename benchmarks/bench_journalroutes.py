#!/usr/bin/env python3
"""/sendJob and /sendTpaPurchase p50 and p99 with the journal, and with a journal that cannot be opened
(nothing written), in the same run: the cost the journal adds to the routes it records. The two programs
take turns (ROUNDS of each, in the order without, with, with, without, ...) so that the machine's load
weighs on both alike; each start's first WARMUP requests of a route are not counted.

    benchmarks/bench_journalroutes.py [BUILD_DIR]    # JOBS (default 300), PURCHASES (default 100) in all,
                                                     # ROUNDS (default 4), WARMUP (default 10); port 5080 free
"""
import os, signal, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchprogram
from bench_crashloop import BUILD, KEY, call, wait

JOBS = int(os.environ.get("JOBS", "300"))
PURCHASES = int(os.environ.get("PURCHASES", "100"))
ROUNDS = int(os.environ.get("ROUNDS", "4"))
WARMUP = int(os.environ.get("WARMUP", "10"))


def percentiles(values):
    values = sorted(values)
    return values[len(values) // 2] * 1000, values[min(len(values) - 1, int(len(values) * 0.99))] * 1000


def measure(journal, jobs, purchases):
    """The times of `jobs` prints and `purchases` purchases after the warm-up, in seconds."""
    work = tempfile.mkdtemp(prefix="journalroutes-")
    benchprogram.start_scheduler(work)
    sim = subprocess.Popen([BUILD + "/tools/tpasim/tpasim", "--family", "ingenico", "--dir", work + "/sim",
                            "--delay", "0", "--quiet"], stdout=subprocess.DEVNULL)
    wait(lambda: os.path.exists(work + "/sim/varnel"), 10)
    port = work + "/sim/varnel"
    if not journal:
        os.makedirs(work + "/data/varnel/journal.sqlite")
    varnel = benchprogram.start_varnel(BUILD + "/varnel", work, KEY, VARNEL_EXTRA_SERIAL_PORTS=port + "@079b:0028")

    def ready():
        return any(t["portName"] == port and t["state"] == "ready" for t in call("/getTpas", {})["data"])

    wait(ready, 40)
    job = {"printer": "Receipt", "job": [{"op": "text", "data": "line %d\n" % i} for i in range(40)] + [
        {"op": "cut", "data": "feed"}]}
    prints, paid = [], []
    for _ in range(WARMUP + jobs):
        started = time.perf_counter()
        call("/sendJob", job)
        prints.append(time.perf_counter() - started)
    for _ in range(WARMUP + purchases):
        started = time.perf_counter()
        call("/sendTpaPurchase", {"tpa_port": port, "terminal_tpa_id": "A", "amount": "1.00"})
        paid.append(time.perf_counter() - started)
        wait(lambda: ready() and call("/getTpaTransactionStatus", {"tpa_port": port, "terminal_tpa_id": "A"}), 10)
    varnel.send_signal(signal.SIGTERM)
    varnel.wait()
    sim.send_signal(signal.SIGINT)
    sim.wait()
    benchprogram.stop_scheduler(work)
    return prints[WARMUP:], paid[WARMUP:]


def main():
    times = {False: ([], []), True: ([], [])}
    for turn in range(2 * ROUNDS):
        journal = turn % 4 in (1, 2)
        share = lambda total: total // ROUNDS + (1 if turn // 2 < total % ROUNDS else 0)
        prints, paid = measure(journal, share(JOBS), share(PURCHASES))
        times[journal][0].extend(prints)
        times[journal][1].extend(paid)
    without = [percentiles(values) for values in times[False]]
    with_journal = [percentiles(values) for values in times[True]]
    for name, index in (("/sendJob", 0), ("/sendTpaPurchase", 1)):
        (p50a, p99a), (p50b, p99b) = without[index], with_journal[index]
        print("%-17s without journal p50 %.2f ms p99 %.2f ms; with p50 %.2f ms p99 %.2f ms (p99 %+.1f %%)"
              % (name, p50a, p99a, p50b, p99b, (p99b / p99a - 1) * 100))


if __name__ == "__main__":
    main()
