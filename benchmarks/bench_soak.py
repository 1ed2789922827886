#!/usr/bin/env python3
"""Soak run of the real program: a realistic mix of API calls for a long time, with the hostile request
shapes in its middle, reporting resident memory, open files, threads and the p99 of each route.

    benchmarks/bench_soak.py [BUILD_DIR]        (default: build; needs BUILD_DIR/varnel and tpasim)
    SOAK_SECONDS   length of the run (default 600)
    CLIENTS        kept-alive clients of the mix (default 4)

Starts its own private CUPS scheduler, a simulated Ingenico terminal (tpasim) and varnel in throw-away
folders, and stops them by process id. Port 5080 must be free.
"""
import collections, http.client, json, os, random, shutil, signal, socket, ssl, subprocess, sys, tempfile
import threading, time

from benchprogram import SRC, start_scheduler, start_varnel, stop_scheduler

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SRC, "build"))
SECONDS = int(os.environ.get("SOAK_SECONDS", "600"))
CLIENTS = int(os.environ.get("CLIENTS", "4"))
KEY = "Soak+Key/1v4.0"
CONTEXT = ssl._create_unverified_context()
RECEIPT = [{"op": "text", "data": "%2d Artigo n.º %d  1 x 2,50 €\n" % (i, i)} for i in range(10)] + [
    {"op": "qrcode", "data": {"text": "A:123456789*B:999999990*H:ATCUD-1"}}, {"op": "cut", "data": "feed"}]

# (route, weight, JSON body)
MIX = [("/getStatus", 40, {}), ("/getPrinters", 12, {}), ("/getPrinterStatus", 10, {"printer": "Receipt"}),
       ("/sendJob", 4, {"printer": "Receipt", "job": RECEIPT}), ("/setNotificationOrder", 10, None),
       ("/getStatus?n", 5, {"with_notifications": 1}), ("/getTpas", 5, {}),
       ("/getTpaStatus", 6, {"tpa_port": None, "terminal_tpa_id": "till-1"}),
       ("/getTpaTransactionStatus", 6, {"tpa_port": None, "terminal_tpa_id": "till-1"}),
       ("/sendTpaPurchase", 2, {"tpa_port": None, "terminal_tpa_id": "till-1", "amount": "1.00"})]

lock = threading.Lock()
latencies = collections.defaultdict(list)  # guarded by lock
errors = collections.Counter()  # guarded by lock
stop = threading.Event()


def process_stats(pid):
    with open("/proc/%d/status" % pid) as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS"))
    return rss / 1024, len(os.listdir("/proc/%d/fd" % pid)), len(os.listdir("/proc/%d/task" % pid))


def report(label, pid):
    with lock:
        taken = {route: sorted(values) for route, values in latencies.items()}
        latencies.clear()
        failed = dict(errors)
        errors.clear()
    rss, fds, threads = process_stats(pid)
    p99 = " ".join("%s=%.1f" % (route.strip("/"), values[min(len(values) - 1, int(len(values) * 0.99))])
                   for route, values in sorted(taken.items()))
    print("%-8s rss %6.1f MB  files %3d  threads %3d  p99 ms: %s%s" % (
        label, rss, fds, threads, p99, "  errors: %s" % failed if failed else ""), flush=True)


def client(port_name):
    connection = http.client.HTTPSConnection("127.0.0.1", 5080, context=CONTEXT, timeout=30)
    routes = [route for route, weight, _ in MIX for _ in range(weight)]
    bodies = {route: body for route, _, body in MIX}
    while not stop.is_set():
        route = random.choice(routes)
        body = bodies[route]
        if body is None:
            body = {"request_id": random.randint(1, 10 ** 6), "title": "Mesa 4", "subtitle": "2 x café",
                    "lastModifiedBy": "soak"}
        body = {k: (port_name if v is None else v) for k, v in body.items()}
        started = time.perf_counter()
        try:
            connection.request("POST", route.split("?")[0], json.dumps(body),
                               {"Content-Type": "application/json", "Authorization": "Bearer " + KEY})
            reply = json.loads(connection.getresponse().read())
            ok = reply.get("status") is True or route in ("/sendTpaPurchase", "/getTpaStatus")
        except Exception:
            ok = False
            connection.close()
        with lock:
            latencies[route].append((time.perf_counter() - started) * 1000)
            if not ok:
                errors[route] += 1
        time.sleep(0.005)


def tls():
    return CONTEXT.wrap_socket(socket.create_connection(("127.0.0.1", 5080), timeout=30))


def attack_many(count, send, pid):
    held = []
    def one():
        try:
            s = tls()
            send(s)
            held.append(s)
        except Exception:
            pass
    threads = [threading.Thread(target=one) for _ in range(count)]
    for t in threads:
        t.start()
    peak = (0, 0, 0)
    held_until = None
    while held_until is None or time.time() < held_until:
        try:
            peak = tuple(map(max, peak, process_stats(pid)))
        except FileNotFoundError:  # the run ended
            break
        if held_until is None and not any(t.is_alive() for t in threads):
            held_until = time.time() + 5
        time.sleep(0.1)
    for s in held:
        s.close()
    print("attack   peaks: rss %.1f MB  files %d  threads %d" % peak, flush=True)


def attacks(pid):
    head = b"POST /getStatus HTTP/1.1\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n"
    parts = b"".join(b'--XX\r\nContent-Disposition: form-data; name="f%d"; filename="a"\r\n\r\nx\r\n' % i
                     for i in range(130000))[:9000000]
    form = b"a&" * 2000000
    shapes = [
        ("header lines", 20, lambda s: s.sendall(b"GET /getStatus HTTP/1.1\r\n" + b"a:b\r\n" * 800000)),
        ("one 4 MiB header", 20, lambda s: s.sendall(b"GET / HTTP/1.1\r\nX: " + b"a" * 4190000)),
        ("form parameters", 20, lambda s: s.sendall(head % (b"application/x-www-form-urlencoded",
                                                              len(form)) + form)),
        ("file parts", 6, lambda s: s.sendall(head % (b"multipart/form-data; boundary=XX", len(parts)) + parts)),
        ("pipelined, unread", 2, lambda s: [s.sendall(b"GET /getStatus HTTP/1.1\r\n\r\n" * 5000)
                                            for _ in range(40)]),
        ("slow heads", 20, lambda s: s.sendall(b"GET /getStatus HTTP/1.1\r\nX-Slow: ")),
    ]
    for name, count, send in shapes:
        if stop.is_set():
            return
        print("attack   %s x %d" % (name, count), flush=True)
        attack_many(count, send, pid)


def main():
    varnel, tpasim = os.path.join(BUILD, "varnel"), os.path.join(BUILD, "tools", "tpasim", "tpasim")
    for path in (varnel, tpasim):
        if not os.access(path, os.X_OK):
            sys.exit("bench_soak: %s is missing (build it first)" % path)
    work = tempfile.mkdtemp(prefix="bench_soak.")
    os.chmod(work, 0o755)
    children = []
    try:
        start_scheduler(work)
        children.append(subprocess.Popen([tpasim, "--family", "ingenico", "--dir", work + "/sim", "--delay",
                                          "300", "--quiet"]))
        port = work + "/sim/varnel"
        while not os.path.exists(port):
            time.sleep(0.05)
        program = start_varnel(varnel, work, KEY, VARNEL_EXTRA_SERIAL_PORTS=port + "@079b:0028")
        children.append(program)
        for _ in range(200):
            try:
                tls().close()
                break
            except OSError:
                time.sleep(0.05)
        time.sleep(2)
        print("machine: %d cores, load %s; %d clients for %d s" % (
            os.cpu_count(), open("/proc/loadavg").read().split()[0], CLIENTS, SECONDS), flush=True)
        report("idle", program.pid)
        workers = [threading.Thread(target=client, args=(port,), daemon=True) for _ in range(CLIENTS)]
        for worker in workers:
            worker.start()
        began = time.time()
        attacked = False
        next_report = began + min(60, SECONDS / 5)
        while time.time() - began < SECONDS:
            time.sleep(0.5)
            if not attacked and time.time() - began > SECONDS * 0.4:
                attacked = True
                threading.Thread(target=attacks, args=(program.pid,), daemon=True).start()
            if time.time() >= next_report:
                report("%ds" % (time.time() - began), program.pid)
                next_report += min(60, SECONDS / 5)
        stop.set()
        for worker in workers:
            worker.join(35)
        time.sleep(10)
        report("after", program.pid)
    finally:
        stop.set()
        for child in reversed(children):
            child.send_signal(signal.SIGTERM)
            child.wait(10)
        stop_scheduler(work)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
