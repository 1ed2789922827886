#!/usr/bin/env python3
"""What hostile /previewJob calls cost the real program: the CPU seconds and peak resident memory of
varnel, and how long each call took, for

- QR codes inside a text: raw QR print commands (one code printed over and over, then at two
  levels in turn) in a 4 MiB request;
- paper 65536 dots long, alone and twenty at once;
- two such QR calls drawing while eighteen small previews arrive: how many are turned away;
- the QR call whose client leaves once it is under way: the CPU spent after it left.

    benchmarks/bench_preview.py [BUILD_DIR]     (default build/; runs in its own network namespace
                                                 when started with `unshare -n`, else needs a free port)
"""
import json, os, socket, ssl, sys, tempfile, threading, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from benchprogram import start_varnel

KEY = "Bench+Preview/1v4.0"
TICKS = os.sysconf("SC_CLK_TCK")


def qr_function(fn, parameters):
    length = len(parameters) + 2
    return b"\x1d(k" + bytes([length & 0xFF, length >> 8, 0x31, fn]) + parameters


def qr_job(size=4100000):
    """Modules four dots wide (the code is wider than the paper and never drawn), a code of 1147
    bytes printed over and over, then printed at levels Q and H in turn, so that each print encodes
    it afresh. In JSON each control character takes six bytes."""
    text = qr_function(0x45, b"3") + qr_function(0x43, b"\x04")
    text += qr_function(0x50, b"0" + b"a" * 1147) + qr_function(0x51, b"0") * 20000
    turns = qr_function(0x45, b"2") + qr_function(0x51, b"0") + qr_function(0x45, b"3") + qr_function(0x51, b"0")
    text += turns * ((size - 23 * 20000) // 92)
    return [{"op": "settings", "data": {"normalLineWidth": 0}}, {"op": "text", "data": text.decode("latin-1")}]


TALL_JOB = [{"op": "text", "data": "x" + "\n" * 2200}]
SMALL_JOB = [{"op": "text", "data": "Total 2,50\n"}]


def cpu(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def peak_mb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
    return -1


def reset_peak(pid):
    with open("/proc/%d/clear_refs" % pid, "w") as f:
        f.write("5")


class Call:
    """One /previewJob call on a TLS connection of its own, answered on a thread."""

    def __init__(self, port, job):
        body = json.dumps({"job": job}).encode()
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        context.check_hostname = False
        context.verify_mode = ssl.CERT_NONE
        self.sock = context.wrap_socket(socket.create_connection(("127.0.0.1", port)))
        self.request = (b"POST /previewJob HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                        b"Authorization: Bearer " + KEY.encode() + b"\r\nConnection: close\r\n"
                        b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.reply = None
        self.seconds = None
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        started = time.monotonic()
        try:
            self.sock.sendall(self.request)
            data = b""
            while True:
                piece = self.sock.recv(65536)
                if not piece:
                    break
                data += piece
            self.reply = json.loads(data.split(b"\r\n\r\n", 1)[1] or b"{}")
        except (OSError, ValueError, IndexError):
            self.reply = {}
        self.seconds = time.monotonic() - started

    def leave(self):
        self.sock.shutdown(socket.SHUT_RDWR)
        self.sock.close()

    def outcome(self):
        self.thread.join()
        reply = self.reply or {}
        return "ok %dx%d" % (reply.get("width", 0), reply.get("height", 0)) if reply.get("status") else \
            reply.get("error", "no reply")


def wait_for_cpu(pid, since, seconds):
    while cpu(pid) - since < seconds:
        time.sleep(0.05)


def settle(pid):
    """Waits until the program uses less than 2 % of a core over half a second; its CPU time then."""
    last = cpu(pid)
    while True:
        time.sleep(0.5)
        now = cpu(pid)
        if now - last < 0.011:
            return now
        last = now


def scenario(name, pid, run):
    settle(pid)
    reset_peak(pid)
    before = cpu(pid)
    started = time.monotonic()
    outcomes = run()
    print("%-42s %6.2f s CPU  %6.1f s  peak %5.0f MB  %s" % (name, settle(pid) - before,
          time.monotonic() - started, peak_mb(pid), "; ".join(outcomes)))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    varnel = os.path.join(build, "varnel")
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    work = tempfile.mkdtemp(prefix="bench_preview.")
    program = start_varnel(varnel, work, KEY, queues=(), VARNEL_PORT=str(port),
                           CUPS_SERVER=work + "/none.sock")
    pid = program.pid
    try:
        while True:
            try:
                socket.create_connection(("127.0.0.1", port)).close()
                break
            except OSError:
                time.sleep(0.1)
        hostile = qr_job()
        print("QR request: %d bytes of JSON" % len(json.dumps({"job": hostile})))

        def counted(outcomes):
            return ["%d× %s" % (outcomes.count(o), o) for o in sorted(set(outcomes))]

        scenario("QR codes inside a text", pid, lambda: [Call(port, hostile).outcome()])
        scenario("paper 65536 dots long", pid, lambda: [Call(port, TALL_JOB).outcome()])
        scenario("twenty such papers at once", pid,
                 lambda: counted([c.outcome() for c in [Call(port, TALL_JOB) for _ in range(20)]]))

        def crowd():
            before = cpu(pid)
            heavy = [Call(port, hostile) for _ in range(2)]
            wait_for_cpu(pid, before, 1.0)
            small = [Call(port, SMALL_JOB) for _ in range(18)]
            return counted([c.outcome() for c in heavy + small])

        scenario("two QR calls, then eighteen small ones", pid, crowd)

        def leaving():
            before = cpu(pid)
            call = Call(port, hostile)
            wait_for_cpu(pid, before, 1.0)
            left = cpu(pid)
            call.leave()
            return ["CPU after the client left: %.2f s" % (settle(pid) - left)]

        scenario("QR call whose client leaves", pid, leaving)
    finally:
        program.terminate()
        program.wait()


if __name__ == "__main__":
    main()
