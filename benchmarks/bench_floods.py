#!/usr/bin/env python3
"""Hostile floods against the real program: its resident memory while 20 callers without a key send
10 MB multipart forms or 4 MiB JSON bodies at once, and how long a real client waits while one local
process opens 200 idle connections a second.

    benchmarks/bench_floods.py [BUILD_DIR]     (default: build; needs BUILD_DIR/varnel)
    FLOOD_SECONDS   length of the idle flood (default 10)

Starts its own private CUPS scheduler and varnel in throw-away folders, and stops them by process id.
Port 5080 must be free.
"""
import os, shutil, signal, socket, ssl, sys, tempfile, threading, time

from benchprogram import SRC, start_scheduler, start_varnel, stop_scheduler

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SRC, "build"))
SECONDS = int(os.environ.get("FLOOD_SECONDS", "10"))
KEY = "Flood+Key/1v4.0"
CONTEXT = ssl._create_unverified_context()


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS")) / 1024


def tls():
    return CONTEXT.wrap_socket(socket.create_connection(("127.0.0.1", 5080), timeout=30))


def get_status():
    """Seconds a real client waits for /getStatus, or None when it is not served."""
    started = time.perf_counter()
    try:
        s = tls()
        s.sendall(b"GET /getStatus HTTP/1.1\r\nAuthorization: Bearer " + KEY.encode() + b"\r\n\r\n")
        reply = b""
        while b"Device online" not in reply:
            piece = s.recv(65536)
            if not piece:
                return None
            reply += piece
        s.close()
        return time.perf_counter() - started
    except OSError:
        return None


def bodies(name, payload, pid):
    statuses = []
    def one():
        try:
            s = tls()
            s.sendall(payload)
            statuses.append(s.recv(12)[9:12].decode() or "closed")
            s.close()
        except OSError as error:
            statuses.append(type(error).__name__)
    before, peak = rss_mb(pid), 0
    threads = [threading.Thread(target=one) for _ in range(20)]
    for t in threads:
        t.start()
    while any(t.is_alive() for t in threads):
        peak = max(peak, rss_mb(pid))
        time.sleep(0.01)
    counts = {status: statuses.count(status) for status in sorted(set(statuses))}
    print("%-24s rss before %5.1f MB, peak %5.1f MB; replies %s; then served in %s" % (
        name, before, peak, counts, served_text(get_status())), flush=True)


def served_text(seconds):
    return "%.0f ms" % (seconds * 1000) if seconds is not None else "NOT SERVED"


def idle_flood():
    stop = threading.Event()
    held = []
    def flood():
        while not stop.is_set():
            began = time.time()
            for _ in range(20):
                try:
                    held.append(socket.create_connection(("127.0.0.1", 5080), timeout=5))
                except OSError:
                    pass
                while len(held) > 800:
                    held.pop(0).close()
            time.sleep(max(0, 0.1 - (time.time() - began)))
    thread = threading.Thread(target=flood)
    thread.start()
    time.sleep(1)
    waits = []
    ended = time.time() + SECONDS
    while time.time() < ended:
        waits.append(get_status())
        time.sleep(0.2)
    stop.set()
    thread.join()
    for s in held:
        s.close()
    served = sorted(w for w in waits if w is not None)
    print("idle flood, 200/s        %d of %d served; median %s, max %s" % (
        len(served), len(waits), served_text(served[len(served) // 2]) if served else "-",
        served_text(served[-1]) if served else "-"), flush=True)


def main():
    varnel = os.path.join(BUILD, "varnel")
    if not os.access(varnel, os.X_OK):
        sys.exit("bench_floods: %s is missing (build it first)" % varnel)
    work = tempfile.mkdtemp(prefix="bench_floods.")
    os.chmod(work, 0o755)
    program = None
    try:
        start_scheduler(work)
        program = start_varnel(varnel, work, KEY)
        for _ in range(200):
            if get_status() is not None:
                break
            time.sleep(0.05)
        head = b"POST /getStatus HTTP/1.1\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n"
        field = b'--XX\r\nContent-Disposition: form-data; name="job"\r\n\r\n'
        field += b"j" * (9990000 - len(field) - 8) + b"\r\n--XX--"
        array = b'{"job":[' + b"0," * 2095000 + b"0]}"
        bodies("10 MB form fields", head % (b"multipart/form-data; boundary=XX", len(field)) + field,
               program.pid)
        bodies("4 MiB JSON bodies", head % (b"application/json", len(array)) + array, program.pid)
        idle_flood()
    finally:
        if program:
            program.send_signal(signal.SIGTERM)
            program.wait(10)
        stop_scheduler(work)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
