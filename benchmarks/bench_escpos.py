#!/usr/bin/env python3
"""What the escpos backend's status and confirmation add to a receipt, and what watching escpos
queues costs the running program.

    benchmarks/bench_escpos.py [BUILD_DIR]      (default: build; needs varnel, escpos, escposprinter)
    JOBS   receipts through each queue (default 20)
    IDLE   seconds of idle probing measured (default 20)

One private scheduler with two queues on the same virtual printer: one through the escpos
backend, one through CUPS's plain socket backend. Receipts alternate between them; each is timed
from lp until the scheduler calls it completed (lpstat polled, a few ms apart). Then varnel watches two escpos queues, each on a
virtual printer of its own, and its CPU time over IDLE seconds is read from /proc. Port 5080 must
be free.
"""
import os, shutil, signal, subprocess, sys, tempfile, time

from benchprogram import CUPS, SRC, start_varnel

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SRC, "build"))
JOBS = int(os.environ.get("JOBS", "20"))
IDLE = float(os.environ.get("IDLE", "20"))
VARNEL, BACKEND = os.path.join(BUILD, "varnel"), os.path.join(BUILD, "backend", "escpos")
PRINTER = os.path.join(BUILD, "tools", "escposprinter", "escposprinter")
RECEIPT = (b"\x1b@Tesmar, Lda.\n1 x Caf\x82   0,80\n1 x Pastel   1,20\nTotal   2,00\nObrigado\n"
           b"\n\n\n\x1dV\x42\x00")


def printer(work, name):
    """A virtual printer on a free port; the process and its port."""
    os.makedirs(os.path.join(work, name))
    process = subprocess.Popen([PRINTER, "--port", "0", "--dir",
                                os.path.join(work, name)], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return process, int(process.stdout.readline().split()[1])


def completed(server, queue, number):
    answer = subprocess.run(["lpstat", "-h", server, "-W", "completed", "-o", queue],
                            capture_output=True, text=True).stdout
    return any(line.split()[0] == "%s-%d" % (queue, number) for line in answer.splitlines() if line)


def receipt(server, queue, path):
    """Seconds from lp to the job completed."""
    started = time.perf_counter()
    answer = subprocess.run(["lp", "-h", server, "-d", queue, "-o", "raw", path],
                            capture_output=True, text=True, check=True).stdout
    number = int(answer.split(queue + "-")[1].split()[0])
    while not completed(server, queue, number):
        time.sleep(0.002)
    return time.perf_counter() - started


def figures(times):
    times = sorted(times)
    return times[len(times) // 2] * 1000, times[int(len(times) * 0.9)] * 1000


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    for program in (VARNEL, BACKEND, PRINTER):
        if not os.access(program, os.X_OK):
            sys.exit("bench_escpos: %s is missing (build it first)" % program)
    work = tempfile.mkdtemp(prefix="bench_escpos.")
    os.chmod(work, 0o755)
    cups = work + "/cups"
    processes = []
    try:
        subprocess.run([CUPS, "start", cups, BACKEND], check=True,
                       capture_output=True)
        server = cups + "/cups.sock"
        os.environ["CUPS_SERVER"] = server
        shared, port = printer(work, "shared")
        processes.append(shared)
        for queue, uri in (("escpos", "escpos://127.0.0.1:%d/" % port),
                           ("socket", "socket://127.0.0.1:%d" % port)):
            subprocess.run(["lpadmin", "-h", server, "-p", queue, "-E", "-v", uri, "-m", "raw"],
                           check=True, capture_output=True)
        path = work + "/receipt.bin"
        open(path, "wb").write(RECEIPT)
        print("machine: %d cores, load %s" % (os.cpu_count(), open("/proc/loadavg").read().split()[0]))
        for queue in ("escpos", "socket"):
            receipt(server, queue, path)  # the first job of each queue starts things up
        times = {"escpos": [], "socket": []}
        for _ in range(JOBS):
            for queue in times:
                times[queue].append(receipt(server, queue, path))
        # Every receipt reached the paper, whole: a job the scheduler ended some other way is no figure.
        printed = [open(os.path.join(work, "shared", name), "rb").read()
                   for name in os.listdir(os.path.join(work, "shared")) if name.endswith(".bin")]
        if printed != [RECEIPT] * (2 * JOBS + 2):
            sys.exit("bench_escpos: %d of %d receipts printed whole" % (printed.count(RECEIPT), 2 * JOBS + 2))
        for queue, taken in times.items():
            print("%-34s median %6.1f ms  p90 %6.1f ms  (%d jobs)" % (
                "receipt through " + queue, *figures(taken), len(taken)))
        added = [e - s for e, s in zip(sorted(times["escpos"]), sorted(times["socket"]))]
        print("%-34s median %6.1f ms  p90 %6.1f ms  (target < 20 ms)" % (
            "added by status and confirmation", *figures(added)))

        queues = ["Idle1", "Idle2"]
        for queue in queues:
            process, port = printer(work, queue)
            processes.append(process)
            subprocess.run(["lpadmin", "-h", server, "-p", queue, "-E", "-v",
                            "escpos://127.0.0.1:%d/" % port, "-m", "raw"], check=True, capture_output=True)
        program = start_varnel(VARNEL, work, "Bench+Escpos/1v4.0", queues=queues)
        processes.append(program)
        time.sleep(5)  # settled: started, queues listed, first readings taken
        before, started = cpu_seconds(program.pid), time.monotonic()
        time.sleep(IDLE)
        share = (cpu_seconds(program.pid) - before) / (time.monotonic() - started) * 100
        print("%-34s %6.2f %% of a core over %.0f s  (target < 0.5 %%)" % (
            "varnel idle, two escpos queues", share, IDLE))
    finally:
        for process in reversed(processes):
            process.send_signal(signal.SIGTERM)
            process.wait(10)
        subprocess.run([CUPS, "stop", cups], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
