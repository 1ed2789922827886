#!/usr/bin/env python3
"""/sendJob and /sendTpaPurchase p50 and p99 with the journal, and with a journal that cannot be opened
(nothing written): the cost the journal adds to the routes it records. Both programs run side by side,
each with its own terminal simulator, printing through one scheduler, and take turns request by request
(in the order without, with, then with, without, ...), so that the machine's load and the scheduler's
own pauses weigh on both alike.
Both are started ROUNDS times; each start's first WARMUP requests of a route are not counted. The
terminal simulators answer a purchase TERMINAL_DELAY_MS after it arrived: 0 makes the answer and its
journal entries race the purchase's own reply, which no terminal that waits for a card does.

    benchmarks/bench_journalroutes.py [BUILD_DIR]    # JOBS (default 300), PURCHASES (default 100) per
                                                     # program in all, ROUNDS (default 2), WARMUP (default 10),
                                                     # TERMINAL_DELAY_MS (default 0); ports 5081, 5082 free
"""
import os, signal, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchprogram
from bench_crashloop import BUILD, KEY, call, wait

JOBS = int(os.environ.get("JOBS", "300"))
PURCHASES = int(os.environ.get("PURCHASES", "100"))
ROUNDS = int(os.environ.get("ROUNDS", "2"))
WARMUP = int(os.environ.get("WARMUP", "10"))
TERMINAL_DELAY_MS = os.environ.get("TERMINAL_DELAY_MS", "0")
PORTS = {False: 5081, True: 5082}
JOB = {"printer": "Receipt", "job": [{"op": "text", "data": "line %d\n" % i} for i in range(40)] + [
    {"op": "cut", "data": "feed"}]}


def percentiles(values):
    values = sorted(values)
    return values[len(values) // 2] * 1000, values[min(len(values) - 1, int(len(values) * 0.99))] * 1000


class Program:
    """varnel with its own terminal simulator, printing through the scheduler started last; with a
    journal, or with one that cannot be opened."""

    def __init__(self, journal):
        self.journal = journal
        self.work = tempfile.mkdtemp(prefix="journalroutes-")
        self.sim = subprocess.Popen([BUILD + "/tools/tpasim/tpasim", "--family", "ingenico", "--dir",
                                     self.work + "/sim", "--delay", TERMINAL_DELAY_MS, "--quiet"],
                                    stdout=subprocess.DEVNULL)
        wait(lambda: os.path.exists(self.work + "/sim/varnel"), 10)
        self.port = self.work + "/sim/varnel"
        if not journal:
            os.makedirs(self.work + "/data/varnel/journal.sqlite")
        self.varnel = benchprogram.start_varnel(BUILD + "/varnel", self.work, KEY,
                                                VARNEL_PORT=str(PORTS[journal]),
                                                VARNEL_EXTRA_SERIAL_PORTS=self.port + "@079b:0028")

    def call(self, route, body):
        return call(route, body, port=PORTS[self.journal])

    def ready(self):
        return any(t["portName"] == self.port and t["state"] == "ready" for t in self.call("/getTpas", {})["data"])

    def timed(self, route, body):
        started = time.perf_counter()
        self.call(route, body)
        return time.perf_counter() - started

    def purchase(self):
        took = self.timed("/sendTpaPurchase", {"tpa_port": self.port, "terminal_tpa_id": "A", "amount": "1.00"})
        wait(lambda: self.ready() and self.call("/getTpaTransactionStatus",
                                                {"tpa_port": self.port, "terminal_tpa_id": "A"}), 10)
        return took

    def stop(self):
        self.varnel.send_signal(signal.SIGTERM)
        self.varnel.wait()
        self.sim.send_signal(signal.SIGINT)
        self.sim.wait()


def main():
    times = {False: ([], []), True: ([], [])}
    for turn in range(ROUNDS):
        share = lambda total: total // ROUNDS + (1 if turn < total % ROUNDS else 0)
        work = tempfile.mkdtemp(prefix="journalroutes-")
        benchprogram.start_scheduler(work)
        programs = [Program(False), Program(True)]
        for program in programs:
            wait(program.ready, 40)
        for index in range(WARMUP + share(JOBS)):
            for program in programs if index % 2 == 0 else reversed(programs):
                took = program.timed("/sendJob", JOB)
                if index >= WARMUP:
                    times[program.journal][0].append(took)
        for index in range(WARMUP + share(PURCHASES)):
            for program in programs if index % 2 == 0 else reversed(programs):
                took = program.purchase()
                if index >= WARMUP:
                    times[program.journal][1].append(took)
        for program in programs:
            program.stop()
        benchprogram.stop_scheduler(work)
    without = [percentiles(values) for values in times[False]]
    with_journal = [percentiles(values) for values in times[True]]
    for name, index in (("/sendJob", 0), ("/sendTpaPurchase", 1)):
        (p50a, p99a), (p50b, p99b) = without[index], with_journal[index]
        print("%-17s without journal p50 %.2f ms p99 %.2f ms; with p50 %.2f ms p99 %.2f ms (p99 %+.1f %%)"
              % (name, p50a, p99a, p50b, p99b, (p99b / p99a - 1) * 100))


if __name__ == "__main__":
    main()
