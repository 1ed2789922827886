#!/bin/bash
# Load benchmark of the HTTPS API against the real program, on 127.0.0.1 only.
#   benchmarks/bench_api.sh [BUILD_DIR]      (default: build; needs BUILD_DIR/varnel)
#   DURATION   seconds of each wrk run (default 5)
#   JOBS       receipts printed through the API and through lp (default 40)
#   REQUESTS   requests sent before the second memory reading (default 100000)
# Starts its own private scheduler (tests/fixtures/cupsfixture.sh) and its own varnel in throw-away
# folders, and stops both by process id. Port 5080 must be free.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$src/build}")
varnel=$build/varnel
duration=${DURATION:-5}
jobs=${JOBS:-40}
requests=${REQUESTS:-100000}
key="Bench+Key/1v4.0"
url=https://127.0.0.1:5080

for tool in wrk lp curl python3; do
    command -v "$tool" > /dev/null || { echo "bench_api: $tool is missing" >&2; exit 2; }
done
[ -x "$varnel" ] || { echo "bench_api: no $varnel (build the varnel target first)" >&2; exit 2; }
if curl -sk -o /dev/null --max-time 2 "$url/"; then
    echo "bench_api: port 5080 is taken" >&2
    exit 2
fi

work=$(mktemp -d /tmp/bench_api.XXXXXX)
# The scheduler runs its filters and backend as lp, which must reach its folder inside.
chmod 755 "$work"
varnel_pid=
cleanup() {
    [ -n "$varnel_pid" ] && kill "$varnel_pid" 2> /dev/null && wait "$varnel_pid" 2> /dev/null || true
    "$src/tests/fixtures/cupsfixture.sh" stop "$work/cups" > /dev/null 2>&1 || true
    [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

eval "$("$src/tests/fixtures/cupsfixture.sh" start "$work/cups" 2> /dev/null)"
"$src/tests/fixtures/cupsfixture.sh" addqueue "$work/cups" Receipt "$work/cups/receipt.out"

# The settings the program reads at start: the key, and the queue enabled. The job: 40 lines of
# text, a 576x200 logo as an inline PNG, a cut.
mkdir -p "$work/home" "$work/config/Tesmar" "$work/runtime"
chmod 700 "$work/runtime"
python3 - "$work" "$key" << 'PY'
import base64, hashlib, json, struct, sys, zlib
work, key = sys.argv[1], sys.argv[2]
queue = base64.b64encode(hashlib.sha1(b"Receipt").digest()).decode()
ini_key = queue.replace("/", "\\").replace("+", "%2B").replace("=", "%3D")
with open(f"{work}/config/Tesmar/Varnel.conf", "w") as f:
    f.write(f"[General]\nsecurityKey={key}\n\n[printers]\n{ini_key}=true\n")

def png(width, height):
    rows = b""
    for y in range(height):
        row = bytearray()
        for x in range(width):
            dx, dy = (x - width / 2) / (width / 2), (y - height / 2) / (height / 2)
            row.append(0 if dx * dx + dy * dy < 0.8 or (x // 24 + y // 24) % 2 == 0 else 255)
        rows += b"\x00" + bytes(row)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))

job = [{"op": "alignment", "data": 1}, {"op": "image", "data": base64.b64encode(png(576, 200)).decode()},
       {"op": "alignment", "data": 0}]
for line in range(40):
    job.append({"op": "text", "data": f"{line + 1:2d} Artigo de teste n.º {line + 1:<10} 1 x 2,50 €   2,50 €\n"})
job.append({"op": "cut", "data": "feed"})
with open(f"{work}/job.json", "w") as f:
    json.dump({"printer": "Receipt", "job": job}, f)
PY

HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/state QT_QPA_PLATFORM=offscreen \
    QT_QUICK_BACKEND=software VARNEL_UPDATE_URL=https://127.0.0.1:1 "$varnel" > "$work/varnel.log" 2>&1 &
varnel_pid=$!
for _ in $(seq 1 200); do
    curl -sk -o /dev/null --max-time 1 "$url/" && break
    sleep 0.05
done
auth="Authorization: Bearer $key"
curl -sk -H "$auth" "$url/getStatus" | grep -q "Device online" || { echo "bench_api: varnel did not start" >&2; exit 1; }

rss() { awk '/VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$varnel_pid/status"; }
sleep 2
rss_idle=$(rss)

cat > "$work/get.lua" << 'LUA'
wrk.method = "GET"
wrk.headers["Authorization"] = "Bearer " .. os.getenv("BENCH_KEY")
LUA
export BENCH_KEY=$key

total=0
samples=
# wrk's summary: requests/s, p50 and p99 (in ms), and the request count.
run_wrk() {
    local connections=$1 path=$2 threads=$(($1 < 2 ? 1 : 2))
    wrk -t"$threads" -c"$connections" -d"${duration}s" --latency -s "$work/get.lua" "$url$path" > "$work/wrk.out"
    awk '
        function ms(v) { if (v ~ /us$/) return v / 1000; if (v ~ /ms$/) return v + 0; if (v ~ /s$/) return v * 1000; return v }
        /Requests\/sec/ { rps = $2 }
        $1 == "50%" { p50 = ms($2) }
        $1 == "99%" { p99 = ms($2) }
        / requests in / { n = $1 }
        END { printf "%.0f %.2f %.2f %d\n", rps, p50, p99, n }' "$work/wrk.out"
}

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-14s %5s %10s %9s %9s\n" route conns "req/s" "p50 ms" "p99 ms"
for path in /getStatus /getPrinters; do
    for connections in 1 8; do
        read -r rps p50 p99 n <<< "$(run_wrk "$connections" "$path")"
        total=$((total + n))
        samples="$samples $(rss)"
        printf "%-14s %5d %10d %9.2f %9.2f\n" "$path" "$connections" "$rps" "$p50" "$p99"
    done
done

# One receipt through the API first: the bytes CUPS received are what lp sends below.
rm -f "$work/cups/receipt.out"
curl -sk -H "$auth" -H "Content-Type: application/json" --data-binary "@$work/job.json" "$url/sendJob" \
    | grep -q "Job completed successfully"
for _ in $(seq 1 100); do [ -s "$work/cups/receipt.out" ] && break; sleep 0.05; done
sleep 0.5
cp "$work/cups/receipt.out" "$work/receipt.bin"
echo "receipt: $(stat -c %s "$work/job.json") bytes of JSON, $(stat -c %s "$work/receipt.bin") bytes of ESC/POS"

# One client, one kept-alive TLS connection, one receipt after the other, each timed from the
# request to the complete reply.
api_line=$(python3 - "$work/job.json" "$jobs" "$key" << 'PY'
import http.client, ssl, statistics, sys, time
body, count, key = open(sys.argv[1], "rb").read(), int(sys.argv[2]), sys.argv[3]
connection = http.client.HTTPSConnection("127.0.0.1", 5080, context=ssl._create_unverified_context())
headers = {"Content-Type": "application/json", "Authorization": "Bearer " + key}
times, errors = [], 0
for _ in range(count):
    start = time.perf_counter()
    connection.request("POST", "/sendJob", body, headers)
    reply = connection.getresponse().read()
    times.append((time.perf_counter() - start) * 1000)
    errors += b"Job completed successfully" not in reply
times.sort()
print("jobs %d errors %d mean_ms %.2f p50_ms %.2f p99_ms %.2f" % (count, errors, statistics.mean(times),
      times[len(times) // 2], times[min(len(times) - 1, int(len(times) * 0.99))]))
PY
)
api_mean=$(awk '{ print $6 }' <<< "$api_line")
echo "sendJob through the API: $api_line"

start=$(date +%s.%N)
for _ in $(seq 1 "$jobs"); do
    lp -h "$CUPS_SERVER" -d Receipt -o raw "$work/receipt.bin" > /dev/null
done
lp_mean=$(echo "($(date +%s.%N) - $start) * 1000 / $jobs" | bc -l)
printf "lp -o raw of the same bytes: jobs %d mean_ms %.2f\n" "$jobs" "$lp_mean"
printf "API / lp: %.2f (target <= 1.5)\n" "$(echo "$api_mean / $lp_mean" | bc -l)"

# Memory: idle, then after each run until REQUESTS requests in all.
samples="$samples $(rss)"
while [ "$total" -lt "$requests" ]; do
    read -r _ _ _ n <<< "$(run_wrk 8 /getStatus)"
    total=$((total + n))
    samples="$samples $(rss)"
done
printf "RSS MB: idle %.1f; after each run:%s; after %d requests %.1f (target: idle < 120, flat)\n" \
    "$rss_idle" "$samples" "$total" "$(rss)"
