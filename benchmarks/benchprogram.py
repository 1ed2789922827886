"""The pieces the whole-program benchmarks share: a private CUPS scheduler with the queue "Receipt",
and varnel started in throw-away folders with that queue enabled and a given key."""
import base64, hashlib, os, subprocess

SRC = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CUPS = os.path.join(SRC, "tests", "fixtures", "cupsfixture.sh")


def start_scheduler(work):
    """Starts the scheduler in work/cups, points libcups (and varnel) at it; its process id."""
    started = subprocess.run([CUPS, "start", work + "/cups"], capture_output=True, text=True, check=True)
    os.environ["CUPS_SERVER"] = started.stdout.split("CUPS_SERVER=")[1].split()[0].strip("\"'")
    subprocess.run([CUPS, "addqueue", work + "/cups", "Receipt", "/dev/null"], check=True, capture_output=True)
    return int(open(work + "/cups/cupsd.pid").read())


def stop_scheduler(work):
    subprocess.run([CUPS, "stop", work + "/cups"], capture_output=True)


def start_varnel(varnel, work, key, queues=("Receipt",), **environment):
    """varnel with its settings, state and runtime folders in work, offscreen, the queues enabled;
    the process."""
    enabled = ""
    for name in queues:
        queue = base64.b64encode(hashlib.sha1(name.encode()).digest()).decode()
        enabled += "%s=true\n" % queue.replace("/", "\\").replace("+", "%2B").replace("=", "%3D")
    os.makedirs(work + "/config/Tesmar")
    with open(work + "/config/Tesmar/Varnel.conf", "w") as f:
        f.write("[General]\nsecurityKey=%s\n\n[printers]\n%s" % (key, enabled))
    os.makedirs(work + "/runtime", mode=0o700)
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=work + "/config", XDG_DATA_HOME=work + "/data",
               XDG_STATE_HOME=work + "/state", XDG_RUNTIME_DIR=work + "/runtime",
               QT_QPA_PLATFORM="offscreen", QT_QUICK_BACKEND="software",
               VARNEL_UPDATE_URL="https://127.0.0.1:1", **environment)
    return subprocess.Popen([varnel], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
