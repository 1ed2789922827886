#!/usr/bin/env python3
"""/getStatus latency of the real program while printing stalls: a job whose image URLs never
answer, then a CUPS scheduler stopped with SIGSTOP; and how long the printing routes take to fail.

    benchmarks/bench_cupsstall.py [BUILD_DIR]      (default: build; needs BUILD_DIR/varnel)
    REQUESTS   /getStatus calls per reading (default 500)

Starts its own private CUPS scheduler, a server that takes connections and never answers, and
varnel in throw-away folders, and stops them by process id. Port 5080 must be free.
"""
import http.client, json, os, shutil, signal, socket, ssl, sys, tempfile, threading, time

from benchprogram import SRC, start_scheduler, start_varnel, stop_scheduler

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SRC, "build"))
REQUESTS = int(os.environ.get("REQUESTS", "500"))
KEY = "Stall+Key/1v4.0"
CONTEXT = ssl._create_unverified_context()
HEADERS = {"Content-Type": "application/json", "Authorization": "Bearer " + KEY}


def call(connection, route, body):
    started = time.perf_counter()
    connection.request("POST", route, json.dumps(body), HEADERS)
    reply = json.loads(connection.getresponse().read())
    return (time.perf_counter() - started) * 1000, reply


def connect():
    return http.client.HTTPSConnection("127.0.0.1", 5080, context=CONTEXT, timeout=60)


def reading(label, fresh=False, during=None):
    """p50/p99/max of /getStatus, on one kept-alive connection or a new TLS connection each; for as
    long as the thread during runs, when given."""
    connection = connect()
    times = []
    while (during.is_alive() if during else len(times) < (REQUESTS if not fresh else REQUESTS // 10)):
        if fresh:
            connection.close()
            connection = connect()
            started = time.perf_counter()
            connection.request("POST", "/getStatus", "{}", HEADERS)
            connection.getresponse().read()
            times.append((time.perf_counter() - started) * 1000)
        else:
            times.append(call(connection, "/getStatus", {})[0])
    connection.close()
    times.sort()
    print("%-44s p50 %6.2f ms  p99 %6.2f ms  max %6.2f ms  (%d calls)" % (
        label, times[len(times) // 2], times[int(len(times) * 0.99)], times[-1], len(times)), flush=True)


def timed(route, body):
    connection = connect()
    elapsed, reply = call(connection, route, body)
    connection.close()
    return elapsed, reply


def main():
    varnel = os.path.join(BUILD, "varnel")
    if not os.access(varnel, os.X_OK):
        sys.exit("bench_cupsstall: %s is missing (build it first)" % varnel)
    work = tempfile.mkdtemp(prefix="bench_cupsstall.")
    os.chmod(work, 0o755)
    program = None
    silent = socket.socket()
    held = []
    cupsd = 0
    try:
        cupsd = start_scheduler(work)
        # Takes image requests and never answers them.
        silent.bind(("127.0.0.1", 0))
        silent.listen(64)
        def hold():
            while True:
                try:
                    held.append(silent.accept())
                except OSError:
                    return
        threading.Thread(target=hold, daemon=True).start()
        program = start_varnel(varnel, work, KEY)
        for _ in range(400):
            try:
                if timed("/getPrinters", {})[1].get("data") == ["Receipt"]:
                    break
            except OSError:
                pass
            time.sleep(0.05)
        print("machine: %d cores, load %s" % (os.cpu_count(), open("/proc/loadavg").read().split()[0]))
        reading("idle")
        reading("idle, a new TLS connection each", fresh=True)

        url = "http://127.0.0.1:%d/logo.png" % silent.getsockname()[1]
        job = [{"op": "text", "data": "a\n"}] + [{"op": "image", "data": url}] * 3
        sent = {}
        sender = threading.Thread(target=lambda: sent.update(
            result=timed("/sendJob", {"printer": "Receipt", "job": job})))
        sender.start()
        time.sleep(0.5)
        reading("a job with 3 hanging image URLs running", during=sender)
        sender.join()
        print("%-44s %6.0f ms  %s" % ("that job", sent["result"][0], json.dumps(sent["result"][1])))

        os.kill(cupsd, signal.SIGSTOP)
        # The window's refresh meets the stopped scheduler too.
        time.sleep(4)
        failing = {}
        waiting = [threading.Thread(target=lambda r=route, b=body: failing.update({r: timed(r, b)}))
                   for route, body in (("/getPrinterStatus", {"printer": "Receipt"}),
                                       ("/sendJob", {"printer": "Receipt", "job": job[:1]}))]
        for thread in waiting:
            thread.start()
        reading("cupsd stopped, a new TLS connection each", fresh=True)
        reading("cupsd stopped, printing routes waiting", during=waiting[-1])
        for thread in waiting:
            thread.join()
        for route, (elapsed, reply) in sorted(failing.items()):
            print("%-44s %6.0f ms  %s" % (route + " with cupsd stopped", elapsed, json.dumps(reply)))
        os.kill(cupsd, signal.SIGCONT)
    finally:
        if cupsd:
            os.kill(cupsd, signal.SIGCONT)
        if program:
            program.send_signal(signal.SIGTERM)
            program.wait(10)
        stop_scheduler(work)
        silent.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
