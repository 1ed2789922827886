#!/usr/bin/env python3
"""Crash loop: purchases (tpasim on a pseudo-terminal) and receipts (a private scheduler), each sent with
a requestId, with varnel killed (SIGKILL) at a random moment after the request left and the same
request retried after the restart. Counts what reached the terminal and the scheduler per request, what
each point of sale read, and checks the journal's integrity after every kill.

    benchmarks/bench_crashloop.py [BUILD_DIR]    # KILLS (default 100); port 5080 must be free
"""
import json, os, random, signal, sqlite3, ssl, subprocess, sys, tempfile, threading, time, urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchprogram

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
KILLS = int(os.environ.get("KILLS", "100"))
KEY = "crashloopv4.0"
CONTEXT = ssl.create_default_context()
CONTEXT.check_hostname = False
CONTEXT.verify_mode = ssl.CERT_NONE


def call(route, body, timeout=10, port=5080):
    request = urllib.request.Request("https://127.0.0.1:%d%s" % (port, route), data=json.dumps(body).encode(),
                                     headers={"Content-Type": "application/json", "Authorization": "Bearer " + KEY})
    with urllib.request.urlopen(request, timeout=timeout, context=CONTEXT) as reply:
        return json.loads(reply.read())


def quietly(function, *arguments):
    try:
        function(*arguments)
    except Exception:
        pass  # cut by the kill


def wait(condition, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            if condition():
                return True
        except Exception:
            pass
        time.sleep(0.05)
    return False


def main():
    work = tempfile.mkdtemp(prefix="crashloop-")
    benchprogram.start_scheduler(work)
    sim_log = open(work + "/tpasim.log", "w")
    sim = subprocess.Popen(["stdbuf", "-oL", BUILD + "/tools/tpasim/tpasim", "--family", "ingenico", "--dir",
                            work + "/sim", "--delay", "400"], stdout=sim_log, stderr=subprocess.STDOUT)
    wait(lambda: os.path.exists(work + "/sim/varnel"), 10)
    port = work + "/sim/varnel"
    environment = {"VARNEL_EXTRA_SERIAL_PORTS": port + "@079b:0028"}
    varnel = benchprogram.start_varnel(BUILD + "/varnel", work, KEY, **environment)
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=work + "/config", XDG_DATA_HOME=work + "/data",
               XDG_STATE_HOME=work + "/state", XDG_RUNTIME_DIR=work + "/runtime", QT_QPA_PLATFORM="offscreen",
               QT_QUICK_BACKEND="software", VARNEL_UPDATE_URL="https://127.0.0.1:1", **environment)
    journal = work + "/data/varnel/journal.sqlite"

    def ready():
        return any(t["portName"] == port and t["state"] == "ready" for t in call("/getTpas", {})["data"])

    results = {"purchase": [], "print": []}
    integrity_failures = 0
    random.seed(int(os.environ.get("SEED", "22")))
    started = time.time()
    for i in range(KILLS):
        if not wait(ready, 40):
            print("terminal not ready after start", i)
            break
        kind = "purchase" if i % 2 == 0 else "print"
        amount = "%d.%02d" % divmod(i + 1, 100)
        if kind == "purchase":
            route, body = "/sendTpaPurchase", {"tpa_port": port, "terminal_tpa_id": "A", "amount": amount}
        else:
            route, body = "/sendJob", {"printer": "Receipt", "job": [{"op": "text", "data": "receipt %d\n" % i}]}
        body["requestId"] = "%s-%d" % (kind, i)
        threading.Thread(target=lambda: quietly(call, route, body), daemon=True).start()
        time.sleep(random.uniform(0, 0.9))
        varnel.send_signal(signal.SIGKILL)
        varnel.wait()
        try:
            database = sqlite3.connect(journal)
            if database.execute("PRAGMA integrity_check").fetchone()[0] != "ok":
                integrity_failures += 1
            database.close()
        except sqlite3.Error:
            integrity_failures += 1
        varnel = subprocess.Popen([BUILD + "/varnel"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait(lambda: call("/getStatus", {})["status"], 30)
        reply = None
        if wait(ready, 40):
            for _ in range(50):
                reply = call(route, body)
                if "busy" not in json.dumps(reply):
                    break
                time.sleep(0.2)
        if kind == "purchase":
            texts = []
            # Until the purchase has ended and its point of sale has read every text.
            wait(lambda: ready() and not texts.extend(call("/getTpaTransactionStatus",
                                                            {"tpa_port": port, "terminal_tpa_id": "A"})["data"])
                 and any(not t.startswith("VRL0000|M00|Comando") for t in texts), 20)
            results[kind].append((amount, reply, texts))
        else:
            results[kind].append((body["requestId"], reply))
    elapsed = time.time() - started
    varnel.send_signal(signal.SIGTERM)
    varnel.wait()
    sim.send_signal(signal.SIGINT)
    sim.wait()
    benchprogram.stop_scheduler(work)

    log = open(work + "/tpasim.log").read()
    sent_twice = sum(1 for amount, _, _ in results["purchase"]
                     if log.count("P05100133304978" + "%08d" % int(amount.replace(".", ""))) > 1)
    approved = sum(1 for _, _, texts in results["purchase"] if any(t.startswith(("P051", "P*")) for t in texts))
    unknown = sum(1 for _, _, texts in results["purchase"] if any("|M97|" in t for t in texts))
    silent = sum(1 for _, _, texts in results["purchase"]
                 if not any(t.startswith(("P051", "P*")) or "|M97|" in t or "|M99|" in t for t in texts))
    jobs = open(work + "/cups/log/access_log").read().count("Create-Job")
    printed = sum(1 for _, reply in results["print"] if reply and reply.get("status"))
    print_unknown = sum(1 for _, reply in results["print"] if reply and reply.get("error", "").startswith("Outcome unknown"))
    print("%d kills in %.0f s; journal integrity failures: %d" % (KILLS, elapsed, integrity_failures))
    print("purchases %d: approval read %d, M97 read %d, nothing read %d, reached the terminal twice %d"
          % (len(results["purchase"]), approved, unknown, silent, sent_twice))
    print("receipts %d: jobId replied %d, outcome unknown %d; jobs the scheduler created %d"
          % (len(results["print"]), printed, print_unknown, jobs))
    for amount, reply, texts in results["purchase"]:
        if not any(t.startswith(("P051", "P*")) or "|M97|" in t for t in texts):
            print("  purchase of %s: reply %s, texts %s" % (amount, reply, texts))
    print("work folder:", work)


if __name__ == "__main__":
    main()
